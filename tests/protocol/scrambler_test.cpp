#include "protocol/scrambler.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace quenfall {
namespace {

const KeyTable* Table(std::size_t i) { return &KeyTables()[i]; }

TEST(SelectKeyTable, EachAcceptedProfileUsesItsColumn) {
    EXPECT_EQ(SelectKeyTable(0, 0), Table(0));
    EXPECT_EQ(SelectKeyTable(1, 0), Table(11));
    EXPECT_EQ(SelectKeyTable(0, 11), Table(0));
    EXPECT_EQ(SelectKeyTable(1, 11), nullptr);
    EXPECT_EQ(SelectKeyTable(0, 12), nullptr);
    EXPECT_EQ(SelectKeyTable(1, 12), Table(6));
}

TEST(SelectKeyTable, UnacceptedProfilesFollowTheTable) {
    for (std::uint8_t p = 1; p <= 4; ++p) {
        EXPECT_EQ(SelectKeyTable(0, p), Table(p));
        EXPECT_EQ(SelectKeyTable(1, p), nullptr);
    }
    EXPECT_EQ(SelectKeyTable(0, 6), nullptr);
    EXPECT_EQ(SelectKeyTable(1, 6), Table(6));
    EXPECT_EQ(SelectKeyTable(0, 13), nullptr);
    EXPECT_EQ(SelectKeyTable(1, 13), nullptr);
}

TEST(SelectKeyTable, ModesAboveOneNeverScramble) {
    for (int mode = 2; mode < 256; ++mode)
        for (std::uint8_t p = 0; p < ProfileCount; ++p)
            EXPECT_EQ(SelectKeyTable(static_cast<std::uint8_t>(mode), p), nullptr);
}

TEST(KeyTables, DevelopmentSetIsNotZero) {
    // All-zero tables would hide every scrambling fault in these tests.
    for (const KeyTable& t : KeyTables())
        EXPECT_NE(std::accumulate(t.begin(), t.end(), 0), 0);
    EXPECT_EQ(KeySetFingerprint().size(), 16u);
}

TEST(Scrambler, KeyPositionRestartsEvery256BytesFromTheFirstByte) {
    std::vector<std::uint8_t> frame(2065, 0);
    ProfileSelection p0;  // profile 0, mode 0: T0
    Scrambler(p0, frame);
    const KeyTable& k = KeyTables()[0];
    for (std::size_t i = 0; i < frame.size(); ++i) ASSERT_EQ(frame[i], k[i % 256]) << i;
    EXPECT_EQ(frame[256], frame[0]);
    EXPECT_EQ(frame[2064], k[16]);
}

TEST(Scrambler, IsItsOwnInverse) {
    std::vector<std::uint8_t> data(1000);
    std::iota(data.begin(), data.end(), 0);
    const auto original = data;
    ProfileSelection p12{.ProfileIndex = 12, .ScrambleMode = 1};
    Scrambler(p12, data);
    EXPECT_NE(data, original);
    Scrambler(p12, data);
    EXPECT_EQ(data, original);
}

TEST(Scrambler, NoKeyAndEmptyBuffersChangeNothing) {
    std::vector<std::uint8_t> data(300, 0x5A);
    const auto original = data;
    Scrambler(ProfileSelection{.ProfileIndex = 12, .ScrambleMode = 0}, data);
    EXPECT_EQ(data, original);
    Scrambler(ProfileSelection{.ProfileIndex = 0, .ScrambleMode = 2}, data);
    EXPECT_EQ(data, original);
    Scrambler(ProfileSelection{}, std::span<std::uint8_t>(data).first(0));
    EXPECT_EQ(data, original);
}

}  // namespace
}  // namespace quenfall
