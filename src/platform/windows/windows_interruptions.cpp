// Ctrl-C, Ctrl-Break and the console closing stop the runs instead of the process. The
// first asks every run to end and be recorded; the second is seen by the program's watch
// (which keeps what it can, then ends the program); a third ends the process here.
//
// The system calls this handler on a thread of its own. For Ctrl-C and Ctrl-Break, returning
// TRUE is all it takes. A console being closed (or the user logging off, the system shutting
// down) ends the process as soon as the handler returns, or after some five seconds: the
// handler holds on for that time, so that the runs can stop and the program record them and
// exit by itself.
#include <windows.h>

#include <csignal>

#include "platform/interruption.h"
#include "platform/platform.h"

namespace quenfall {

namespace {

// The signal whose usual exit code a shell reports: SIGINT for the keys, SIGTERM for the
// console closed, a log-off or a shutdown.
int SignalOf(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM; }

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const int signal = SignalOf(event);
    if (Interruption::Count() >= 2) ExitProcess(static_cast<UINT>(128 + signal));
    Interruption::Request(signal);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    Sleep(4500);
    return TRUE;
}

}  // namespace

void CatchInterruptions() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

}  // namespace quenfall
