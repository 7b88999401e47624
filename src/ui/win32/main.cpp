// quenfall.exe: the window on Windows, without Qt. Start-up: the window with its controls and
// its device watch, then the message loop until the window closes. Exit code 0 in every case.
//
//   --emulate            talk to an emulated radio instead of a real one (also
//                        QUENFALL_EMULATE=1); for demonstrations and screenshots
//   --exit-when-shown    print "shown" once the window has been painted, then exit
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <exception>
#include <memory>

#include "link/platform_link.h"
#include "ui/win32/gdi_pictures.h"
#include "ui/win32/system_library.h"
#include "ui/win32/win32_flash_form.h"
#include "window/emulated_radio_link.h"
#include "window/window_texts.h"

namespace {

struct StartOptions {
    bool Emulate = false;
    bool ExitWhenShown = false;
};

StartOptions ReadOptions() {
    StartOptions options;
    wchar_t emulate[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUENFALL_EMULATE", emulate, 8);
    options.Emulate = length > 0 && length < 8 && std::wcscmp(emulate, L"0") != 0;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        if (std::wcscmp(arguments[i], L"--emulate") == 0) options.Emulate = true;
        if (std::wcscmp(arguments[i], L"--exit-when-shown") == 0) options.ExitWhenShown = true;
    }
    LocalFree(arguments);
    return options;
}

void Run() {
    using namespace quenfall;
    const StartOptions options = ReadOptions();

    ui::Win32FlashForm* form = nullptr;
    std::unique_ptr<DeviceLink> platformLink;
    std::unique_ptr<window::EmulatedRadioLink> emulated;
    if (options.Emulate) {
        emulated = std::make_unique<window::EmulatedRadioLink>([&form](std::function<void()> task) {
            if (form != nullptr) form->Post(std::move(task));
        });
    } else {
        platformLink = MakePlatformDeviceLink();
    }
    DeviceLink& link = emulated ? static_cast<DeviceLink&>(*emulated) : *platformLink;

    ui::Win32FlashForm::Options formOptions;
    // The emulated radio reports its own comings and goings.
    formOptions.RegisterWatch = !emulated;
    ui::Win32FlashForm FlashForm(link, formOptions);
    form = &FlashForm;
    if (emulated) {
        emulated->AttachTo(FlashForm.Window());
        FlashForm.Every(window::EmulatedRadioLink::AdvanceIntervalMs, [&] { emulated->Advance(); });
    }
    if (options.ExitWhenShown) {
        FlashForm.OnFirstPaint([&] {
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            PostQuitMessage(0);
        });
    }
    FlashForm.Show(SW_SHOWNORMAL);
    FlashForm.RunMessageLoop();
}

std::wstring Title() {
    const std::u16string title = quenfall::ui::ProgramTitle();
    return std::wstring(reinterpret_cast<const wchar_t*>(title.data()), title.size());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a DLL: from now on only the system folder is searched, never the
    // program's own folder or the current directory.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    quenfall::ui::PreloadLazySystemLibraries();
    quenfall::ui::GdiplusSession gdiplus;
    try {
        Run();
    } catch (const std::exception& error) {
        // The default error display, with nothing to own it.
        const std::u16string text = quenfall::window::DefaultErrorText(quenfall::window::Utf16(error.what()));
        MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), Title().c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    } catch (...) {
        MessageBoxW(nullptr, L"", Title().c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }
    return 0;
}
