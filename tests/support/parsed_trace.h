#pragma once
// A trace in the --trace text form, read back as the replay reads it; a trace that does not
// read fails the test that wrote it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "upgrade/dialogue_trace_text.h"

namespace quenfall::test {

inline std::vector<TraceStep> Parsed(const std::string& text) {
    std::istringstream in(text);
    std::string error;
    auto steps = ParseTrace(in, error);
    EXPECT_TRUE(steps.has_value()) << error;
    return steps.value_or(std::vector<TraceStep>{});
}

}  // namespace quenfall::test
