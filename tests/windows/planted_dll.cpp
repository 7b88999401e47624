// A DLL that someone put beside a downloaded program, under the name of a DLL the program
// loads: the moment it is loaded it appends its own path to the marker file named by
// QUENFALL_PLANTED_MARKER. The planted-DLL test (scripts/windows-planted-dlls.sh) copies it
// under many names next to the programs and fails if the marker file appears.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t marker[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"QUENFALL_PLANTED_MARKER", marker, MAX_PATH) == 0) return TRUE;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    HANDLE file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    char line[MAX_PATH * 3 + 2];
    int n = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), line, MAX_PATH * 3, nullptr, nullptr);
    line[n++] = '\n';
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
