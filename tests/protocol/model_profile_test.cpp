#include "protocol/model_profile.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace quenfall {
namespace {

TEST(SelectProfile, AcceptedCodesPickTheirProfiles) {
    const std::pair<std::uint8_t, std::uint8_t> accepted[] = {{0, 0}, {2, 0}, {11, 11}, {17, 12}};
    for (auto [code, profile] : accepted) {
        std::uint8_t index = 7;  // whatever an earlier load left
        EXPECT_TRUE(SelectProfile(code, index)) << int(code);
        EXPECT_EQ(index, profile) << int(code);
    }
}

TEST(SelectProfile, AcceptedModelsAreReadOffTheSelection) {
    std::vector<std::pair<int, int>> listed;
    for (const AcceptedModel& m : AcceptedModels()) listed.emplace_back(m.ModelCode, m.ProfileIndex);
    EXPECT_EQ(listed, (std::vector<std::pair<int, int>>{{0, 0}, {2, 0}, {11, 11}, {17, 12}}));
}

TEST(SelectProfile, KnownButRefusedModelsStillMoveTheIndex) {
    const std::pair<std::uint8_t, std::uint8_t> refused[] = {{5, 1}, {6, 2}, {7, 3}, {8, 4}, {10, 6}};
    for (auto [code, profile] : refused) {
        std::uint8_t index = 11;
        EXPECT_FALSE(SelectProfile(code, index)) << int(code);
        EXPECT_EQ(index, profile) << int(code);
    }
}

TEST(SelectProfile, EveryOtherCodeIsRefusedAndLeavesTheIndexAlone) {
    const std::set<int> assigned = {0, 2, 5, 6, 7, 8, 10, 11, 17};
    for (int code = 0; code < 256; ++code) {
        if (assigned.count(code)) continue;
        std::uint8_t index = 12;
        EXPECT_FALSE(SelectProfile(static_cast<std::uint8_t>(code), index)) << code;
        EXPECT_EQ(index, 12) << code;
    }
}

TEST(CommandCodes, FollowPrefixAndBank) {
    ProfileSelection p0;  // profile 0, bank 0
    EXPECT_EQ(RequestCode(p0, CommandKind::Exit), 0x0044);
    EXPECT_EQ(ResponseCode(p0, CommandKind::Exit), 0x8044);
    EXPECT_EQ(RequestCode(p0, CommandKind::Block), 0x0042);
    EXPECT_EQ(RequestCode(p0, CommandKind::EnterA), 0x0043);
    EXPECT_EQ(RequestCode(p0, CommandKind::EnterB), 0x0045);

    ProfileSelection p11{.ProfileIndex = 11, .CodeBank = 1};
    EXPECT_EQ(RequestCode(p11, CommandKind::Block), 0x0148);
    EXPECT_EQ(ResponseCode(p11, CommandKind::Block), 0x8148);

    ProfileSelection p12{.ProfileIndex = 12, .CodeBank = 0x80};  // any nonzero byte is bank 1
    EXPECT_EQ(RequestCode(p12, CommandKind::EnterB), 0x024B);
    EXPECT_EQ(ResponseCode(p12, CommandKind::EnterB), 0x824B);
    EXPECT_EQ(RequestCode(p12, CommandKind::Exit), 0x024A);

    ProfileSelection p5{.ProfileIndex = 5};
    EXPECT_EQ(RequestCode(p5, CommandKind::EnterA), 0x0F43);
}

TEST(CommandCodes, EnterKindComesFromTheRequestVariant) {
    EXPECT_EQ(EnterKind(0), CommandKind::EnterA);
    EXPECT_EQ(EnterKind(1), CommandKind::EnterB);
    for (int v = 2; v < 256; ++v) EXPECT_FALSE(EnterKind(static_cast<std::uint8_t>(v)).has_value());
}

}  // namespace
}  // namespace quenfall
