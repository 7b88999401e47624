#include "package/check_value.h"

#include <gtest/gtest.h>

#include <vector>

namespace quenfall {
namespace {

TEST(CheckValue, WorkedExamples) {
    const std::vector<std::uint8_t> small = {1, 2, 3};
    EXPECT_EQ(ComputeCheckValue(small), 0x0001);
    const std::vector<std::uint8_t> wraps(300, 0xFF);  // 76500 wraps to 10964
    EXPECT_EQ(ComputeCheckValue(wraps), 0x0890);
}

TEST(CheckValue, HighByteNeverExceeds0x33) {
    // The largest 16-bit sum is 65535; 65535 / 5 = 13107 = 0x3333.
    std::vector<std::uint8_t> bytes(257, 0xFF);
    bytes.push_back(0);
    for (int extra = 0; extra < 256; ++extra) {
        bytes.back() = static_cast<std::uint8_t>(extra);
        EXPECT_LE(ComputeCheckValue(bytes) >> 8, 0x33);
    }
}

TEST(CheckValue, SumWrapsOnlyInSixteenBitsOverTenMiB) {
    const std::vector<std::uint8_t> large(10 * 1024 * 1024, 0xFF);
    const std::uint32_t sum = 10u * 1024 * 1024 * 0xFF;
    EXPECT_EQ(ComputeCheckValue(large), static_cast<std::uint16_t>(sum & 0xFFFF) / 5);
}

}  // namespace
}  // namespace quenfall
