#pragma once
// The Windows radio helper's life: connect to the pipe the starting program named, greet,
// answer every request until the pipe closes, and serve every further pipe the program asks
// it to connect to, each on a thread of its own, until the last has closed too. quenfall-radio-helper.exe runs it with the
// real drive calls; the tests' helper with faked ones.
#include <string>

#include "helper/server/radio_helper_service.h"
#include "helper/server/windows/windows_pass_through_port.h"

namespace quenfall::helper {

// The pipe named on a command line "<program> --pipe \\.\pipe\quenfall-radio-helper-<hex>";
// empty for any other command line.
std::wstring PipeNameFromCommandLine(const wchar_t* commandLine);

// 0 when the client closed the first pipe, 1 when the pipe could not be opened or the greeting not
// sent, 2 on a message that is not the protocol.
int RunRadioHelper(const std::wstring& pipeName, WindowsHelperSystem system);

// The real drive calls.
WindowsHelperSystem RealWindowsHelperSystem();

}  // namespace quenfall::helper
