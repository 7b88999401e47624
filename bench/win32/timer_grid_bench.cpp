// The grid the Win32 window's timers keep: one 10 ms timer of the window's timer bank runs
// for a while and the time between its firings, as the window procedure sees them, is
// printed, beside a plain window timer (SetTimer) of 10 ms for comparison. What matters to
// the upgrade is the mean: the sequencer counts ticks, so every millisecond a tick comes
// late stretches each answer window and each block by that much.
//
//   timer_grid_bench [FIRINGS]        default 1000
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/win32/win32_timer_bank.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Run {
    quenfall::ui::Win32TimerBank* Bank = nullptr;
    std::vector<double> Times;
    std::size_t Wanted = 0;
};
Run* current = nullptr;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (current != nullptr && message == quenfall::ui::Win32TimerBank::FiredMessage) {
        if (current->Bank->Take(wParam, lParam)) current->Times.push_back(NowMs());
        return 0;
    }
    if (current != nullptr && message == WM_TIMER) {
        current->Times.push_back(NowMs());
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Pump(const Run& run) {
    MSG message;
    while (run.Times.size() < run.Wanted && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}

void Report(const char* what, std::vector<double> times, double started) {
    std::vector<double> gaps;
    gaps.push_back(times.front() - started);
    for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
    const double mean = (times.back() - started) / static_cast<double>(times.size());
    std::sort(gaps.begin(), gaps.end());
    const auto at = [&](double share) { return gaps[static_cast<std::size_t>(share * static_cast<double>(gaps.size() - 1))]; };
    std::printf("  %-34s firings %5zu  mean %6.3f ms  min %6.3f  median %6.3f  p95 %6.3f  max %7.3f  (%+.2f%% on 10 ms)\n",
                what, times.size(), mean, gaps.front(), at(0.5), at(0.95), gaps.back(), (mean - 10.0) / 10.0 * 100.0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t firings = argc > 1 ? static_cast<std::size_t>(std::strtoul(argv[1], nullptr, 10)) : 1000;
    WNDCLASSW type{};
    type.lpfnWndProc = Procedure;
    type.lpszClassName = L"QuenfallTimerGrid";
    RegisterClassW(&type);
    HWND window = CreateWindowW(L"QuenfallTimerGrid", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "timer_grid_bench: no window (no display?)\n");
        return 1;
    }
    std::printf("timer grid, %zu firings of a 10 ms timer:\n", firings);

    {
        quenfall::ui::Win32TimerBank bank(window);
        Run run{&bank, {}, firings};
        current = &run;
        const double started = NowMs();
        bank.SwitchOn(quenfall::TimerId::Check);
        Pump(run);
        bank.SwitchOff(quenfall::TimerId::Check);
        current = nullptr;
        Report(bank.HighResolutionWaits() ? "window timer bank, high-res waits" : "window timer bank, 1 ms waits", run.Times,
               started);
    }
    {
        Run run{nullptr, {}, std::min<std::size_t>(firings, 300)};
        current = &run;
        const double started = NowMs();
        SetTimer(window, 1, 10, nullptr);
        Pump(run);
        KillTimer(window, 1);
        current = nullptr;
        Report("SetTimer(10 ms), for comparison", run.Times, started);
    }
    DestroyWindow(window);
    return 0;
}
