#include "cli/stop_requests.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/interruption.h"
#include "platform/platform.h"

namespace quenfall::cli {

namespace {

// How soon the watch sees a second request. A signal handler may do next to nothing, so the
// watch looks rather than being woken.
constexpr std::chrono::milliseconds WatchInterval{20};

}  // namespace

StopRequests::StopRequests() {
    CatchInterruptions();
    watch_ = std::thread([this] { Watch(); });
}

StopRequests::~StopRequests() {
    {
        const std::lock_guard hold(lock_);
        leaving_ = true;
    }
    wake_.notify_all();
    watch_.join();
}

void StopRequests::SetLastResort(std::function<void()> keep) {
    const std::lock_guard hold(lock_);
    lastResort_ = std::move(keep);
}

void StopRequests::Finally(const std::function<void()>& keep) {
    const std::lock_guard hold(lock_);
    lastResort_ = nullptr;
    keep();
}

bool StopRequests::Requested() { return Interruption::Requested(); }
int StopRequests::ExitStatus() { return Interruption::ExitStatus(); }

void StopRequests::Watch() {
    std::unique_lock hold(lock_);
    while (!leaving_) {
        wake_.wait_for(hold, WatchInterval);
        if (leaving_ || Interruption::Count() < 2) continue;
        // Under the lock: what Finally keeps is either all written or left to this.
        if (lastResort_) lastResort_();
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        std::_Exit(Interruption::ExitStatus());
    }
}

}  // namespace quenfall::cli
