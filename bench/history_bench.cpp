// A timed run: `quenfall-cli history` over a history of 100,000 records, as a table, as CSV
// and as JSON, the whole program from start to exit with its output read to the end, as a
// shop's script would read it. The goal is under a second for each form.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "history/history_json.h"
#include "history/utc_time.h"
#include "cpu_seconds.h"

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#endif

namespace {

using Clock = std::chrono::steady_clock;

double ChildrenCpuSeconds() { return quenfall::bench::CpuSeconds(quenfall::bench::CpuOf::EndedChildren); }

constexpr int Records = 100000;

// A shop's week: crates of eight radios, now and then a failure.
quenfall::HistoryRecord Record(int i) {
    using namespace std::chrono;
    quenfall::HistoryRecord r;
    const auto start = sys_days(year{2026} / December / 1) + seconds(i * 17);
    r.Start = quenfall::UtcTimestamp(start);
    r.End = quenfall::UtcTimestamp(start + seconds(95));
    r.Program = i % 3 ? "quenfall-cli" : "quenfall";
    r.Version = "7.1.0";
    r.KeySet = "020a9866ec02048c";
    r.Package = "radio-fw-2026-11.bin";
    r.PackageSize = 1048706;
    r.ModelCode = 17;
    r.CheckValue = 0x2483;
    r.TotalBlocks = 513;
    r.Location = "1-1." + std::to_string(i % 8 + 1);
    r.Node = "/dev/sd" + std::string(1, static_cast<char>('a' + i % 8));
    r.LastNode = "/dev/sd" + std::string(1, static_cast<char>('a' + (i + 3) % 8));
    r.Serial = "SN" + std::to_string(100000 + i);
    r.Completed = i % 25 != 0;
    r.Outcome = r.Completed ? " Program upgrade is complete!" : " Communication Error!";
    r.BlocksSent = r.Completed ? 509 : static_cast<std::uint32_t>(i % 509);
    r.LastCommandProblem = r.Completed ? "" : "read: no answer within 2 s (transport time-out)";
    r.Emulated = i % 10 == 0;
    return r;
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "quenfall-history-bench";
    fs::create_directories(dir);
    const fs::path file = dir / "history.jsonl";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < Records; ++i) out << quenfall::HistoryLine(Record(i)) << '\n';
    }
    const std::string path = file.string();
#if defined(_WIN32)
    _putenv_s("QUENFALL_HISTORY", path.c_str());
#else
    ::setenv("QUENFALL_HISTORY", path.c_str(), 1);
#endif
    std::printf("quenfall-cli history over %d records (%.1f MB):\n", Records,
                static_cast<double>(fs::file_size(file)) / 1e6);
    bool fast = true;
    for (const char* form : {"", " --csv", " --json", " --failed"}) {
        double best = 1e9;
        double bestCpu = 1e9;
        std::size_t lines = 0;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const std::string command = std::string("\"") + QUENFALL_CLI_PATH + "\" history" + form;
            const auto start = Clock::now();
            const double cpuBefore = ChildrenCpuSeconds();
            FILE* pipe = popen(command.c_str(), "r");
            if (!pipe) return 2;
            char buffer[1 << 16];
            std::size_t n = 0, count = 0;
            while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
                for (std::size_t k = 0; k < n; ++k) count += buffer[k] == '\n';
            const int status = pclose(pipe);
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            bestCpu = std::min(bestCpu, ChildrenCpuSeconds() - cpuBefore);
            if (status != 0) {
                std::printf("  history%s failed (status %d)\n", form, status);
                return 1;
            }
            best = std::min(best, seconds);
            lines = count;
        }
        std::printf("  history%-10s %7zu lines   wall %6.3f s   cpu %6.3f s   goal 1 s: %s\n", form, lines, best,
                    bestCpu, best < 1.0 ? "met" : "MISSED");
        fast = fast && best < 1.0;
    }
    if (!std::getenv("QUENFALL_BENCH_KEEP")) fs::remove_all(dir);
    return fast ? 0 : 1;
}
