// Ctrl-C, SIGTERM and SIGHUP stop the runs instead of the process. The first asks every run
// to end and be recorded; the second is seen by the program's watch (which keeps what it
// can, then ends the program); a third ends the process here, whatever the watch is doing.
#include <signal.h>
#include <unistd.h>

#include "platform/interruption.h"
#include "platform/platform.h"

namespace quenfall {

namespace {

extern "C" void OnStopSignal(int signal) {
    if (Interruption::Count() >= 2) _exit(128 + signal);
    Interruption::Request(signal);
}

}  // namespace

void CatchInterruptions() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A command blocked on the radio goes on after the handler (it ends within its own
    // time-out): the run sees the request at its next tick.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace quenfall
