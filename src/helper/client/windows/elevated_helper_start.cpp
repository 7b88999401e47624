#include "helper/client/windows/elevated_helper_start.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

namespace quenfall::helper {

namespace {

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

// The window the prompt belongs to, so that it comes up in front of it rather than flashing
// in the taskbar: this thread's active window, or, from a thread without windows (an
// upgrade of a crate runs each radio on a thread of its own), the foreground window when it
// is one of this program's.
HWND PromptOwner() {
    if (HWND active = GetActiveWindow()) return active;
    HWND foreground = GetForegroundWindow();
    DWORD owner = 0;
    if (foreground != nullptr && GetWindowThreadProcessId(foreground, &owner) != 0 && owner == GetCurrentProcessId()) {
        return foreground;
    }
    return nullptr;
}

}  // namespace

std::wstring RadioHelperBesideProgram() {
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring program(path.data(), length);
    const std::size_t slash = program.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : program.substr(0, slash + 1)) + L"quenfall-radio-helper.exe";
}

StartedHelper StartElevatedHelper(const std::wstring& helperPath, PipeDeadlines deadlines) {
    StartedHelper started;
    HelperStart& start = started.Start;
    const std::wstring name = RandomHelperPipeName();
    std::unique_ptr<HelperPipeServer> pipe = HelperPipeServer::Create(name, start.Problem);
    if (!pipe) return started;

    const std::wstring parameters = L"--pipe " + name;
    SHELLEXECUTEINFOW run{};
    run.cbSize = sizeof run;
    // NOASYNC: the prompt is answered before this returns; NO_UI: a failure is ours to tell.
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    run.hwnd = PromptOwner();
    run.lpVerb = L"runas";
    run.lpFile = helperPath.c_str();
    run.lpParameters = parameters.c_str();
    run.nShow = SW_HIDE;
    if (!ShellExecuteExW(&run) || run.hProcess == nullptr) {
        const DWORD error = GetLastError();
        if (error == ERROR_CANCELLED) {
            start.Problem = "the request for an administrator's permission was declined";
        } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            start.Problem = Narrow(helperPath) + " is missing (install Quenfall again from its zip)";
        } else {
            start.Problem = "Windows could not start " + Narrow(helperPath) + " (error " + std::to_string(error) + ")";
        }
        return started;
    }
    HANDLE process = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), run.hProcess, GetCurrentProcess(), &process, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        process = nullptr;
    }
    start = pipe->Accept(run.hProcess, deadlines);
    if (start.Connection) {
        started.Process = process;
    } else if (process != nullptr) {
        CloseHandle(process);
    }
    return started;
}

}  // namespace quenfall::helper
