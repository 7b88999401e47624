// A timed run: `quenfall-cli history` over a history of 100,000 records, as a table, as CSV
// and as JSON, the whole program from start to exit with its output read to the end, as a
// shop's script would read it. The goal is under a second for each form.
//
// With --million: a history of 1,000,000 records (about 470 MB) listed as CSV and searched by
// SHA-256, each side by side with python3 reading the same lines with its json module; the
// goals are a peak memory under 64 MB and no more time than python3's.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "history/history_json.h"
#include "history/utc_time.h"
#include "cpu_seconds.h"

#if !defined(_WIN32)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
extern char** environ;
#endif

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
    // Two files in turn: a search by SHA-256 lists half the history.
    r.Sha256 = (i % 2 ? "ab" : "cd") + std::string(62, '0');
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

#if !defined(_WIN32)
struct Finished {
    double Seconds = 0;
    double PeakMegabytes = 0;
    bool Ok = false;
};

// One program run to its end with its output thrown away: wall time and its own peak memory
// (wait4 gives the child's, not the largest of every child so far).
Finished RunToEnd(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    Finished finished;
    const auto start = Clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) return finished;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child) return finished;
    finished.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    finished.PeakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    finished.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return finished;
}

int Million(const std::filesystem::path& file) {
    constexpr int Count = 1000000;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < Count; ++i) out << quenfall::HistoryLine(Record(i)) << '\n';
    }
    std::printf("quenfall-cli history over %d records (%.1f MB), side by side with python3's json:\n", Count,
                static_cast<double>(std::filesystem::file_size(file)) / 1e6);
    const std::string hash = "ab" + std::string(62, '0');
    const std::string python =
        "import json,sys\n"
        "n=0\n"
        "for line in open(sys.argv[1],'rb'):\n"
        "    r=json.loads(line)\n"
        "    n+=r.get('sha256')==sys.argv[2]\n";
    bool met = true;
    for (const char* form : {"--csv", "--sha256", ""}) {
        std::vector<std::string> words = {QUENFALL_CLI_PATH, "history"};
        if (*form) words.push_back(form);
        if (std::string(form) == "--sha256") words.push_back(hash);
        const Finished ours = RunToEnd(words);
        const Finished theirs = RunToEnd({"python3", "-c", python, file.string(), hash});
        if (!ours.Ok || !theirs.Ok) {
            std::printf("  history %s: %s failed\n", form, ours.Ok ? "python3" : "quenfall-cli");
            return 1;
        }
        const bool small = ours.PeakMegabytes < 64.0;
        const bool quick = ours.Seconds <= theirs.Seconds;
        std::printf("  history %-9s wall %6.2f s, peak %6.1f MB   python3 json %6.2f s, peak %6.1f MB   "
                    "memory under 64 MB: %s, time within python3's: %s\n",
                    form, ours.Seconds, ours.PeakMegabytes, theirs.Seconds, theirs.PeakMegabytes,
                    small ? "met" : "MISSED", quick ? "met" : "MISSED");
        met = met && small && quick;
    }
    return met ? 0 : 1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "quenfall-history-bench";
    fs::create_directories(dir);
    const fs::path file = dir / "history.jsonl";
    const std::string path = file.string();
#if defined(_WIN32)
    _putenv_s("QUENFALL_HISTORY", path.c_str());
#else
    ::setenv("QUENFALL_HISTORY", path.c_str(), 1);
    if (argc > 1 && std::string(argv[1]) == "--million") {
        const int result = Million(file);
        if (!std::getenv("QUENFALL_BENCH_KEEP")) fs::remove_all(dir);
        return result;
    }
#endif
    (void)argc;
    (void)argv;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < Records; ++i) out << quenfall::HistoryLine(Record(i)) << '\n';
    }
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
