#pragma once
// The shop window's texts made from values: a row's elapsed time, the package's verdict, the
// question before radios are upgraded again.
#include <chrono>
#include <cstddef>
#include <string>

#include "package/package.h"

namespace quenfall::window {

// "0:42", "12:05", "1:02:03": whole seconds, rounded down.
std::u16string ElapsedText(std::chrono::steady_clock::duration elapsed);

// What an accepted package holds, in one line: model code, sections, blocks, check value,
// SHA-256.
std::u16string PackageVerdictText(const Package& package);

// Asked before Upgrade all (or Enter) upgrades again radios that completed with the package
// loaded now: after a finished crate, a stray Enter must not re-flash every radio. No runs
// only the radios not yet upgraded with it.
std::u16string AlreadyUpgradedQuestion(std::size_t already, std::size_t listed);

}  // namespace quenfall::window
