// How long the window takes to appear, and how much memory it takes to get there.
//
// Each run starts `quenfall --emulate --exit-when-shown` as a child process; the window
// prints "shown" once its first paint has been handed to the screen and then exits. The
// time is from just before fork() to the parent reading that line; the memory is the
// child's peak resident set (getrusage's ru_maxrss through wait4), and its CPU time, which
// tells start-up cost apart from waiting for a crowded machine. Without a DISPLAY the
// child runs on Qt's offscreen platform. One warm-up run first (cold font and library
// caches), then the timed runs.
//
//   startup_bench [RUNS] [PROGRAM]        defaults: 10 runs, the quenfall of this build
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Sample {
    double Milliseconds = 0;
    double PeakMiB = 0;
    double CpuMilliseconds = 0;  // user + system time of the child, up to its exit
};

bool RunOnce(const char* program, Sample& sample) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execl(program, program, "--emulate", "--exit-when-shown", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string output;
    char buffer[256];
    bool shown = false;
    auto shownAt = start;
    ssize_t got = 0;
    while (!shown && (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<std::size_t>(got));
        if (output.find("shown\n") != std::string::npos) {
            shown = true;
            shownAt = std::chrono::steady_clock::now();
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    if (!shown || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    sample.Milliseconds = std::chrono::duration<double, std::milli>(shownAt - start).count();
    sample.PeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    const auto cpu = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    sample.CpuMilliseconds = cpu(usage.ru_utime) + cpu(usage.ru_stime);
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const char* program = argc > 2 ? argv[2] : QUENFALL_WINDOW_PATH;
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");

    Sample warmUp;
    if (!RunOnce(program, warmUp)) {
        std::fprintf(stderr, "startup_bench: %s did not start and show its window\n", program);
        return 1;
    }
    std::vector<double> times;
    std::vector<double> peaks;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        Sample sample;
        if (!RunOnce(program, sample)) {
            std::fprintf(stderr, "startup_bench: run %d failed\n", i + 1);
            return 1;
        }
        times.push_back(sample.Milliseconds);
        peaks.push_back(sample.PeakMiB);
        cpu.push_back(sample.CpuMilliseconds);
    }
    std::printf("quenfall start-up, %d runs (platform %s; warm-up run %.1f ms, %.1f MiB)\n", runs,
                platform != nullptr ? platform : "default", warmUp.Milliseconds, warmUp.PeakMiB);
    std::printf("  process start to window shown: median %.1f ms, min %.1f ms, max %.1f ms   (goal < 300 ms)\n",
                Median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()));
    // CPU time does not grow when other processes crowd the machine; wall time does.
    std::printf("  CPU time of the process:       median %.1f ms, max %.1f ms\n", Median(cpu),
                *std::max_element(cpu.begin(), cpu.end()));
    std::printf("  peak resident memory:          median %.1f MiB, max %.1f MiB          (goal < 60 MiB)\n",
                Median(peaks), *std::max_element(peaks.begin(), peaks.end()));
    return 0;
}
