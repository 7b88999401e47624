#pragma once
// The DLLs the window uses that are not on Windows' list of known DLLs. The loader would look
// for such a DLL in the program's own folder first (a Downloads folder, say, where anything
// may have been put), so they are never imported: they are loaded here, from the system
// folder only, when first needed. The programs also set the process's default search to the
// system folder at start (SetDefaultDllDirectories), which covers what Windows itself loads
// on our behalf.
#include <windows.h>
#include <commctrl.h>

namespace quenfall::ui {

// InitCommonControlsEx of the common controls library (version 6 through the manifest's
// dependency, which the side-by-side store resolves). False when it could not be loaded.
bool InitCommonControlsFromSystem(DWORD classes);
// ImageList_Create and ImageList_Destroy of the same library; null when it is not there.
HIMAGELIST CreateImageListFromSystem(int width, int height, UINT flags);
void DestroyImageListFromSystem(HIMAGELIST list);

// timeBeginPeriod(1) / timeEndPeriod(1) of the multimedia library, for a timer thread that
// has no high-resolution waitable timer. False when the library could not be loaded.
bool BeginFineTimerPeriod();
void EndFineTimerPeriod();

// Loads, from the system folder, the DLLs that the system's own theme and control DLLs load
// lazily by name when first drawing (msimg32): a lazy load finds them already loaded instead
// of searching for them, whatever search path the loader of the day uses for it (wine's
// ignores the process's default DLL directories). Right after SetDefaultDllDirectories.
void PreloadLazySystemLibraries();

}  // namespace quenfall::ui
