#pragma once
// Starting quenfall-radio-helper.exe with an administrator's rights: the pipe first, then
// the program through the shell's "runas" verb (Windows asks the user), then its connection.
#include <windows.h>

#include <string>

#include "helper/client/helper_connection.h"
#include "helper/client/windows/helper_pipe.h"

namespace quenfall::helper {

// quenfall-radio-helper.exe beside the running program.
std::wstring RadioHelperBesideProgram();

// A started helper: its first connection, and a handle of its process for the connections
// that follow (each waits on the process too, and accepts only it).
struct StartedHelper {
    HelperStart Start;
    HANDLE Process = nullptr;  // the caller's to close; null when it did not start
};

// Problem in plain words when it did not start: the user declined the prompt, the program
// is missing, it ended or did not connect.
StartedHelper StartElevatedHelper(const std::wstring& helperPath, PipeDeadlines deadlines = {});

}  // namespace quenfall::helper
