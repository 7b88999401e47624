#pragma once
// Starting quenfall-radio-helper.exe with an administrator's rights: the pipe first, then
// the program through the shell's "runas" verb (Windows asks the user), then its connection.
#include <string>

#include "link/helper_protocol/helper_connection.h"
#include "link/windows/helper_pipe.h"

namespace quenfall::helper {

// quenfall-radio-helper.exe beside the running program.
std::wstring RadioHelperBesideProgram();

// Problem in plain words when it did not start: the user declined the prompt, the program
// is missing, it ended or did not connect.
HelperStart StartElevatedHelper(const std::wstring& helperPath, PipeDeadlines deadlines = {});

}  // namespace quenfall::helper
