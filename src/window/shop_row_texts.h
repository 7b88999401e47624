#pragma once
// The shop window's texts made from values: a row's elapsed time, the package's verdict, the
// question before radios are upgraded again.
#include <chrono>
#include <cstddef>
#include <string>

#include "package/package.h"
#include "upgrade/time_left.h"

namespace quenfall::window {

// "0:42", "12:05", "1:02:03": whole seconds, rounded down.
std::u16string ElapsedText(std::chrono::steady_clock::duration elapsed);

// A row's time cell: while its run goes on "45%, 0:12 left", once it has ended its
// percentage and how long it took, "100%, 0:20".
std::u16string RowTimeText(const RunProgress& progress, bool ended, std::chrono::steady_clock::duration elapsed);

// The summary line while runs go on: "2 of 4 done, about 0:40 left".
std::u16string RunsGoingOnText(std::size_t done, std::size_t running, std::chrono::milliseconds left);

// What a row's status says while its run goes on: the run's own text, except while the radio
// restarts, when the device watch's texts would say it is gone or back while nothing moves.
std::string_view RowStatusText(std::string_view status, RunPhase phase);

// What an accepted package holds, in one line: model code, sections, blocks, check value,
// SHA-256.
std::u16string PackageVerdictText(const Package& package);

// Asked before Upgrade all (or Enter) upgrades again radios that completed with the package
// loaded now: after a finished crate, a stray Enter must not re-flash every radio. No runs
// only the radios not yet upgraded with it.
std::u16string AlreadyUpgradedQuestion(std::size_t already, std::size_t listed);

}  // namespace quenfall::window
