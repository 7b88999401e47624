#pragma once
// The shop window's texts made from values: a row's elapsed time and the package's verdict.
#include <chrono>
#include <string>

#include "package/package.h"

namespace quenfall::window {

// "0:42", "12:05", "1:02:03": whole seconds, rounded down.
std::u16string ElapsedText(std::chrono::steady_clock::duration elapsed);

// What an accepted package holds, in one line: model code, sections, blocks, check value.
std::u16string PackageVerdictText(const Package& package);

}  // namespace quenfall::window
