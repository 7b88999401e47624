#include "platform/interruption.h"

#include <atomic>

namespace quenfall {

namespace {

std::atomic<int> requests{0};
std::atomic<int> signalNumber{0};

static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

}  // namespace

void Interruption::Request(int signal) noexcept {
    int none = 0;
    signalNumber.compare_exchange_strong(none, signal);
    requests.fetch_add(1);
}

bool Interruption::Requested() noexcept { return requests.load() > 0; }
int Interruption::Count() noexcept { return requests.load(); }
int Interruption::ExitStatus() noexcept { return 128 + signalNumber.load(); }

void Interruption::Reset() noexcept {
    requests.store(0);
    signalNumber.store(0);
}

}  // namespace quenfall
