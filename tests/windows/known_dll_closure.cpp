// Imports one function of each known DLL the programs import, and does nothing. What wine
// loads for it is the import closure of those DLLs, which Windows maps from its
// \KnownDlls object directory: the planted-DLL test leaves these names out and plants every
// other DLL a program loads.
#include <windows.h>
#include <commdlg.h>
#include <gdiplus.h>
#include <setupapi.h>
#include <shellapi.h>

#include <cstdlib>

int main(int argc, char**) {
    if (argc > 1000) {  // never: the calls only keep the imports
        GetOpenFileNameW(nullptr);
        Gdiplus::GdiplusShutdown(0);
        SetupDiDestroyDeviceInfoList(nullptr);
        CommandLineToArgvW(nullptr, nullptr);
        GetStockObject(0);
        MessageBeep(0);
        RegCloseKey(nullptr);
        std::abort();
    }
    return 0;
}
