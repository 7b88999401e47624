// A timed run of the Win32 window: a 1 MiB package upgraded into the emulated radio of
// --emulate through the window's own controls and timers, beside the time the dialogue
// cannot beat (the bound of bench/flash_emulate_bench.cpp: two 10 ms ticks per block sent,
// 801 ticks of restart wait, one tick for each of the three answers outside the upload);
// then the start-up of quenfall.exe --emulate to its window shown.
//
//   window_flash_bench [QUENFALL_EXE] [STARTS]      defaults: this build's, 5
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/package_writer.h"
#include "ui/win32/win32_pictures.h"
#include "ui/win32/win32_flash_form.h"
#include "upgrade/status_texts.h"
#include "win32_window_driver.h"
#include "emulator/emulated_radio_link.h"
#include "startup/radio_choice.h"
#include "startup/window_link.h"
#include "window/window_texts.h"

using namespace quenfall;
using namespace quenfall::ui;
using namespace quenfall::ui::testing;
using namespace std::chrono_literals;

namespace {

constexpr double TickMs = 10.0;
constexpr int RestartWaitTicks = 801;
constexpr int AnswerTicks = 3;

void Row(const char* what, double measured, double bound) {
    std::printf("  %-24s %9.1f ms   bound %9.1f ms   ratio %.4f (%+.2f%%)\n", what, measured, bound, measured / bound,
                (measured - bound) / bound * 100.0);
}

int Upgrade() {
    constexpr std::size_t SectionBytes = 1024 * 1024;
    constexpr int BlocksSent = SectionBytes / 2048;
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;  // mode 1: section 0 is sent from block 0, all 512 blocks
    std::vector<std::uint8_t> data(SectionBytes);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + i / 4096);
    spec.Sections = {{0, 0, std::move(data)}};
    const auto package = std::filesystem::temp_directory_path() / "quenfall-window-bench.bin";
    {
        const auto bytes = WritePackage(spec);
        std::ofstream out(package, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    Win32FlashForm* target = nullptr;
    EmulatedRadioLink link([&target](std::function<void()> task) {
        if (target != nullptr) target->Post(std::move(task));
    });
    Win32FlashForm::Options options;
    options.RegisterWatch = false;
    options.ChooseFile = [&](const std::wstring&) {
        const std::wstring path = package.wstring();
        return std::optional<window::ChosenFile>(window::ChosenFile{package, std::u16string(path.begin(), path.end())});
    };
    BoxWatcher watcher;
    Win32FlashForm form(link, options);
    target = &form;
    const auto windowRadio = EmulatedWindowRadioOver(link);
    startup::Attach(*windowRadio, form.Window());
    form.Every(EmulatedRadioLink::AdvanceIntervalMs, [&] { link.Advance(); });
    bool painted = false;
    form.OnFirstPaint([&] { painted = true; });
    form.Show();
    PumpUntil(form, [&] { return painted; }, 10s);

    double uploadStart = -1;
    double complete = -1;
    form.Window().OnStatusText([&](std::u16string_view text) {
        if (text == window::Utf16(UpgradingText) && uploadStart < 0) uploadStart = NowMs();
        if (text == window::Utf16(UpgradeCompleteText)) complete = NowMs();
    });
    SendMessageW(form.ControlHandle(window::ControlId::Button1), BM_CLICK, 0, 0);
    const double clicked = NowMs();
    SendMessageW(form.ControlHandle(window::ControlId::Button2), BM_CLICK, 0, 0);
    const bool done = PumpUntil(form, [&] { return !watcher.Boxes().empty(); }, 120s);
    std::filesystem::remove(package);
    if (!done || complete < 0 || uploadStart < 0) {
        std::fprintf(stderr, "window_flash_bench: the upgrade did not complete\n");
        return 1;
    }
    const bool intact = link.Radio().CompareSections(SectionsOf(*form.Window().LoadedPackage())).empty();
    const double uploadBound = BlocksSent * 2 * TickMs;
    const double dialogueBound = uploadBound + (RestartWaitTicks + AnswerTicks) * TickMs;
    std::printf("1 MiB emulated upgrade through the Win32 window (%d blocks, restart into boot mode), %s:\n", BlocksSent,
                intact ? "radio holds the package" : "RADIO CONTENTS DIFFER");
    Row("click to complete", complete - clicked, dialogueBound);
    Row("upload to complete", complete - uploadStart, uploadBound);
    return intact ? 0 : 1;
}

// From CreateProcess to the line "shown", which the window prints once its first paint is
// done. (Its exit is not waited for: under wine on an X server without a window manager,
// taking a window off the screen waits two seconds for a manager that never answers.)
int StartUp(const std::wstring& program, int starts) {
    std::vector<double> times;
    for (int i = 0; i <= starts; ++i) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        CreatePipe(&readEnd, &writeEnd, &inherit, 0);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        std::wstring command = L"\"" + program + L"\" --emulate --exit-when-shown";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION process{};
        const double begun = NowMs();
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
            std::fprintf(stderr, "window_flash_bench: cannot start %ls (error %lu)\n", program.c_str(), GetLastError());
            return 1;
        }
        CloseHandle(writeEnd);
        std::string output;
        char buffer[64];
        DWORD read = 0;
        double shownAt = -1;
        while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            output.append(buffer, read);
            if (output.find("shown") != std::string::npos) {
                shownAt = NowMs();
                break;
            }
        }
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(readEnd);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (shownAt < 0) {
            std::fprintf(stderr, "window_flash_bench: %ls never said it was shown\n", program.c_str());
            return 1;
        }
        if (i > 0) times.push_back(shownAt - begun);  // the first run warms the caches
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up of quenfall.exe --emulate to its window shown, %d runs after one warm-up:\n"
                "  median %.1f ms   min %.1f ms   max %.1f ms\n",
                starts, times[times.size() / 2], times.front(), times.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    GdiplusSession gdiplus;
    int status = Upgrade();
    std::string program = argc > 1 ? argv[1] : QUENFALL_WINDOW_PATH;
    const int starts = argc > 2 ? std::atoi(argv[2]) : 5;
    status |= StartUp(std::wstring(program.begin(), program.end()), std::max(starts, 1));
    return status;
}
