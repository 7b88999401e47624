// What the radio is to a storage driver: the blank-padded identity of its INQUIRY data and
// the two vendor command blocks, fixed bytes.
#include <gtest/gtest.h>

#include <string_view>

#include "protocol/radio_identity.h"
#include "protocol/vendor_command.h"

namespace quenfall {
namespace {

TEST(VendorCommand, BlocksAreFixedBytes) {
    const CommandBlock write = {0xFF, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};
    const CommandBlock read = {0xFF, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};
    EXPECT_EQ(VendorCommandBlock(VendorCommand::Write), write);
    EXPECT_EQ(VendorCommandBlock(VendorCommand::Read), read);
    EXPECT_EQ(VendorCommandTimeout.count(), 2000);
}

TEST(RadioIdentity, IsTheBlankPaddedInquiryFields) {
    EXPECT_TRUE(IsRadioIdentity("STM     ", "microSD Flash   "));
    EXPECT_FALSE(IsRadioIdentity("STM     ", "microSD Flash   \n"));
    EXPECT_FALSE(IsRadioIdentity(std::string_view("STM     \0", 9), "microSD Flash   "));
}

}  // namespace
}  // namespace quenfall
