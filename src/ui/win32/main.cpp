// quenfall.exe: the window on Windows, without Qt. Start-up: the window with its controls and
// its device watch, then the message loop until the window closes. Exit code 0 in every case.
//
//   quenfall.exe [--shop] [--emulate [N]] [PACKAGE]
//
// The options are the window's (window/start_options.h): --shop opens the shop window
// instead of the main window. This face takes no screenshot of itself
// (scripts/screenshot-windows.sh captures it from the X server).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "platform/user_language.h"
#include "startup/shop_start.h"
#include "startup/window_link.h"
#include "ui/win32/system_library.h"
#include "ui/win32/win32_flash_form.h"
#include "ui/win32/win32_pictures.h"
#include "ui/win32/win32_shop_form.h"
#include "ui/win32/win32_text.h"
#include "window/start_options.h"
#include "window/window_texts.h"

namespace {

quenfall::window::StartOptions ReadOptions() {
    using quenfall::ui::FromWide;
    const std::wstring variable = quenfall::ui::ToWide(quenfall::window::Utf16(quenfall::window::EmulateVariable));
    std::optional<std::u16string> emulate;
    if (const DWORD length = GetEnvironmentVariableW(variable.c_str(), nullptr, 0); length > 0) {
        std::wstring value(length, L'\0');
        value.resize(GetEnvironmentVariableW(variable.c_str(), value.data(), length));
        emulate = FromWide(value);
    }
    std::vector<std::u16string> arguments;
    int count = 0;
    wchar_t** all = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; all != nullptr && i < count; ++i) arguments.push_back(FromWide(all[i]));
    LocalFree(all);
    return quenfall::window::ReadStartOptions(arguments, emulate);
}

// Text for whoever started the program: its standard output or error when they lead
// somewhere (a pipe, a file), else the console it was started from, else a box.
void Tell(const std::string& text, bool error) {
    HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    const bool attached = (out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS);
    if (attached) {
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                          nullptr);
    }
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE &&
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        if (attached) CloseHandle(out);
        return;
    }
    const std::wstring title = quenfall::ui::ToWide(quenfall::ui::ProgramTitle());
    MessageBoxW(nullptr, quenfall::ui::ToWide(quenfall::window::Utf16(text)).c_str(), title.c_str(),
                MB_OK | MB_TASKMODAL | (error ? MB_ICONERROR : 0));
}

void RunShop(const quenfall::window::StartOptions& options) {
    using namespace quenfall;
    ui::Win32ShopForm::Options formOptions;
    // An emulated crate's radios come and go during runs, which follow them on their own.
    formOptions.RegisterWatch = !options.Emulate;
    ui::Win32ShopForm form(formOptions);
    startup::ShopStart start(options, form, ui::ProgramTitle());
    form.Attach(start.Window());
    if (options.ExitsWhenShown()) {
        form.OnFirstPaint([] {
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            PostQuitMessage(0);
        });
    }
    form.Show(SW_SHOWNORMAL);
    form.RunMessageLoop();
}

void Run(const quenfall::window::StartOptions& options) {
    using namespace quenfall;
    if (options.Shop) {
        RunShop(options);
        return;
    }

    ui::Win32FlashForm* form = nullptr;
    startup::WindowLink link(options, [&form](std::function<void()> task) {
        if (form != nullptr) form->Post(std::move(task));
    });
    ui::Win32FlashForm::Options formOptions;
    formOptions.RegisterWatch = link.WantsUsbWatch();
    ui::Win32FlashForm FlashForm(link.Link(), formOptions);
    form = &FlashForm;
    link.Attach(FlashForm.Window());
    if (std::function<void()> passTime = link.Advance()) {
        FlashForm.Every(startup::WindowLink::AdvanceIntervalMs, std::move(passTime));
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a DLL: from now on only the system folder is searched, never the
    // program's own folder or the current directory.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    quenfall::ui::PreloadLazySystemLibraries();
    quenfall::UseUserLanguage();
    quenfall::ui::GdiplusSession gdiplus;
    const std::wstring title = quenfall::ui::ToWide(quenfall::ui::ProgramTitle());
    // Before any window: --help, --version and a usage error open none.
    const quenfall::window::StartOptions options = ReadOptions();
    if (!options.Error.empty()) {
        Tell("quenfall: " + options.Error + "\n" + quenfall::window::StartUsage(), true);
        return 2;
    }
    if (options.Help || options.Version) {
        Tell(options.Help ? quenfall::window::StartUsage() : quenfall::window::StartVersion(), false);
        return 0;
    }
    try {
        Run(options);
    } catch (const std::exception& error) {
        // The default error display, with nothing to own it.
        const std::u16string text = quenfall::window::DefaultErrorText(quenfall::window::Utf16(error.what()));
        MessageBoxW(nullptr, quenfall::ui::ToWide(text).c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    } catch (...) {
        MessageBoxW(nullptr, L"", title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }
    return 0;
}
