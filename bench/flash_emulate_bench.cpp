// A timed run: `quenfall-cli flash --emulate` on a 1 MiB package, in real time, beside the
// time the dialogue cannot beat. Stop and wait costs two 10 ms ticks per block sent (the
// tick that accepts the acknowledgement and the tick that sends the next block); the
// restart into boot mode costs the 801 ticks of the restart wait; the first answer, the
// answer after the restart and the exit answer one tick each; the completion 2 s of pause.
// Lines of the tool's output are timed as they arrive, so the upload is measured alone too.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "package/package_writer.h"

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#endif

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr double TickMs = 10.0;
constexpr int RestartWaitTicks = 801;
constexpr int AnswerTicks = 3;
constexpr double PauseMs = 2000.0;

void Row(const char* what, double measured, double bound, const char* how) {
    std::printf("  %-22s %9.1f ms   bound %9.1f ms   %+6.2f%%   (%s)\n", what, measured, bound,
                (measured - bound) / bound * 100.0, how);
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    constexpr std::size_t SectionBytes = 1024 * 1024;
    constexpr int BlocksSent = SectionBytes / 2048;

    quenfall::PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;  // mode 1: section 0 is sent from block 0, all 512 blocks
    std::vector<std::uint8_t> data(SectionBytes);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + i / 4096);
    spec.Sections = {{0, 0, std::move(data)}};
    const fs::path package = fs::temp_directory_path() / "quenfall-flash-bench.bin";
    {
        const auto bytes = quenfall::WritePackage(spec);
        std::ofstream o(package, std::ios::binary);
        o.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    const std::string command = "\"" QUENFALL_CLI_PATH "\" flash \"" + package.string() + "\" --emulate";
    const Clock::time_point start = Clock::now();
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr) {
        std::perror("quenfall-cli");
        return 1;
    }
    std::optional<Clock::time_point> uploadStart;
    std::optional<Clock::time_point> complete;
    char line[4096];
    std::string lastStatus;
    while (std::fgets(line, sizeof line, out) != nullptr) {
        const std::string text(line);
        const Clock::time_point now = Clock::now();
        if (text.starts_with("The program is being upgraded") && !uploadStart) uploadStart = now;
        if (text.starts_with(" Program upgrade is complete!")) complete = now;
        if (!text.starts_with("Progress: ")) lastStatus = text;
    }
    const int status = pclose(out);
    const double wall = Ms(Clock::now() - start).count();
    fs::remove(package);

    const double uploadBound = BlocksSent * 2 * TickMs;
    const double dialogueBound = uploadBound + RestartWaitTicks * TickMs + AnswerTicks * TickMs;
    std::printf("quenfall-cli flash --emulate, 1 MiB package: one section, %d blocks sent, scramble mode 1\n",
                BlocksSent);
    if (status != 0 || !uploadStart || !complete) {
        std::printf("  the run did not complete (exit status %d, last line: %s)\n", status, lastStatus.c_str());
        return 1;
    }
    Row("upload", Ms(*complete - *uploadStart).count(), uploadBound + TickMs,
        "512 blocks x 2 ticks x 10 ms + the exit answer's tick");
    Row("start to completion", Ms(*complete - start).count(), dialogueBound,
        "from the process start: the upload + 801-tick restart wait + 3 answer ticks");
    Row("whole run", wall, dialogueBound + PauseMs, "all of the above + the 2 s completion pause");
    return 0;
}
