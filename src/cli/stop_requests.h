#pragma once
// The command line's side of Ctrl-C (and SIGTERM, SIGHUP, a Windows console closing): the
// first request stops the runs, which end as on a lost radio and are recorded, summed up
// and exited from with 128 + the signal's number (130 for Ctrl-C). A second request ends
// the program at once: a watch thread keeps what it can of the runs still going (the
// command's last resort), then ends the process with the same status.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quenfall::cli {

class StopRequests {
public:
    // From now on the system's requests to stop are caught (platform.h: CatchInterruptions).
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // What a second request keeps before the program ends, run on the watch's thread; it must
    // read only what is safe to read while the runs go on. Replaces the one set before.
    void SetLastResort(std::function<void()> keep);
    // What the command keeps once its runs have ended (their records): the last resort is
    // dropped and never runs alongside it.
    void Finally(const std::function<void()>& keep);

    static bool Requested();
    static int ExitStatus();

private:
    void Watch();

    std::mutex lock_;
    std::condition_variable wake_;
    bool leaving_ = false;
    std::function<void()> lastResort_;
    std::thread watch_;
};

}  // namespace quenfall::cli
