#pragma once
// A request from outside to stop every run of this process: Ctrl-C, SIGTERM, SIGHUP, the
// console closing on Windows. The platform's handler (CatchInterruptions, platform.h) counts
// it here; each run looks between ticks (FlashOptions::StopRequested) and ends as on a lost
// radio, so that its record is written and its summary shown before the program exits.
// Lock-free: Request is safe to call from a signal handler.
namespace quenfall {

class Interruption {
public:
    // signal: the signal's number (SIGINT for Ctrl-C); the first request's is kept.
    static void Request(int signal) noexcept;
    static bool Requested() noexcept;
    // How many requests came: the second ends the program at once, keeping what it can; the
    // platform's handler ends it on the spot at the third.
    static int Count() noexcept;
    // What a program stopped this way exits with: 128 + the signal's number, as a shell
    // reports a program the signal ended (130 for Ctrl-C).
    static int ExitStatus() noexcept;
    // Tests only: as if nothing had been asked.
    static void Reset() noexcept;
};

}  // namespace quenfall
