// Interruptions as standard C gives them: SIGINT and SIGTERM stop the runs; the second is
// seen by the program's watch, a third ends the process here.
#include <csignal>
#include <cstdlib>

#include "platform/interruption.h"
#include "platform/platform.h"

namespace quenfall {

namespace {

extern "C" void OnStopSignal(int signal) {
    if (Interruption::Count() >= 2) std::_Exit(128 + signal);
    Interruption::Request(signal);
    // Some systems put the default back before calling a handler.
    std::signal(signal, OnStopSignal);
}

}  // namespace

void CatchInterruptions() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

}  // namespace quenfall
