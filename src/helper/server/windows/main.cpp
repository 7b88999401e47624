// quenfall-radio-helper.exe: the one program of Quenfall on Windows that runs with an
// administrator's rights (its manifest asks for them). The window or quenfall-cli starts it
// through the shell's "runas" verb at its first upgrade, with the name of a pipe it made
// for this user, and asks it, over that pipe and every further pipe of its own it names
// there (one per radio upgraded at once), in the protocol of helper_protocol.h, to open the
// radio's drive and to send the radio's two vendor commands. It reads nothing else: no other
// argument, no environment, no file; it opens no window, no dialog, no shell and no address,
// and loads DLLs only from the system folder. It ends when the first pipe closes and every
// further one has closed too.
//
//   quenfall-radio-helper.exe --pipe \\.\pipe\quenfall-radio-helper-<32 hex digits>
//   quenfall-radio-helper.exe --self-check     prints its name and ends (for the tests)
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "helper/server/windows/radio_helper_loop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a DLL: from now on only the system folder is searched.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // No box for a missing medium or a crash: nobody would see it, and nothing may wait on it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    const wchar_t* line = GetCommandLineW();
    const wchar_t* self = std::wcsstr(line, L" --self-check");
    if (self != nullptr && self[13] == 0) {
        std::fputs("quenfall-radio-helper\n", stdout);
        return 0;
    }
    const std::wstring pipe = quenfall::helper::PipeNameFromCommandLine(line);
    if (pipe.empty()) return 2;
    return quenfall::helper::RunRadioHelper(pipe, quenfall::helper::RealWindowsHelperSystem());
}
