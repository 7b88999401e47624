// The gadget's transport and SCSI answers, checked against the bytes a Linux host sends and
// expects, so that a fault shows here rather than as a guest that never sees a disk.
#include "bulk_only.h"

#include <gtest/gtest.h>

#include <string>

namespace radio_gadget {
namespace {

class RecordingVendor : public VendorCommands {
public:
    void VendorWrite(std::span<const std::uint8_t> data) override { writes.emplace_back(data.begin(), data.end()); }
    void VendorRead(std::span<std::uint8_t> buffer) override {
        ++reads;
        for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    std::vector<std::vector<std::uint8_t>> writes;
    int reads = 0;
};

std::vector<std::uint8_t> Wrapper(std::uint32_t tag, std::uint32_t length, bool in,
                                  std::vector<std::uint8_t> cdb) {
    std::vector<std::uint8_t> w = {'U', 'S', 'B', 'C'};
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<std::uint8_t>(tag >> (8 * i)));
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    w.push_back(in ? 0x80 : 0x00);
    w.push_back(0);
    w.push_back(static_cast<std::uint8_t>(cdb.size()));
    cdb.resize(16, 0);
    w.insert(w.end(), cdb.begin(), cdb.end());
    return w;
}

const std::vector<std::uint8_t> VendorWriteCdb = {0xFF, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};
const std::vector<std::uint8_t> VendorReadCdb = {0xFF, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};

TEST(BulkOnly, ParsesAWrapperAndRefusesAnythingElse) {
    const auto bytes = Wrapper(0x11223344, 2065, false, VendorWriteCdb);
    ASSERT_EQ(bytes.size(), CbwLength);
    const auto cbw = ParseCbw(bytes);
    ASSERT_TRUE(cbw);
    EXPECT_EQ(cbw->Tag, 0x11223344u);
    EXPECT_EQ(cbw->DataLength, 2065u);
    EXPECT_FALSE(cbw->DataIn);
    EXPECT_EQ(cbw->CdbLength, 16);
    EXPECT_EQ(ClassifyVendor(*cbw), VendorOp::Write);

    auto bad = bytes;
    bad[3] = 'D';
    EXPECT_FALSE(ParseCbw(bad));
    EXPECT_FALSE(ParseCbw(std::span(bytes).first(30)));
    bad = bytes;
    bad[14] = 0;  // no command block
    EXPECT_FALSE(ParseCbw(bad));
}

TEST(BulkOnly, StatusWrapperIsLittleEndian) {
    const auto csw = BuildCsw(0x01020304, 7, CswFailed);
    const std::array<std::uint8_t, CswLength> expected = {'U', 'S', 'B', 'S', 4, 3, 2, 1, 7, 0, 0, 0, 1};
    EXPECT_EQ(csw, expected);
}

TEST(ScsiTarget, InquiryCarriesTheRadioIdentityAndTheRemovableBit) {
    RecordingVendor vendor;
    ScsiTarget target({"STM     ", "microSD Flash   ", "1.00"}, vendor);
    const auto cbw = ParseCbw(Wrapper(1, 36, true, {0x12, 0, 0, 0, 36, 0}));
    const auto result = target.Execute(*cbw, {});
    ASSERT_EQ(result.Status, CswPassed);
    ASSERT_EQ(result.DataIn.size(), 36u);
    EXPECT_EQ(result.DataIn[0], 0x00);
    EXPECT_EQ(result.DataIn[1], 0x80);
    EXPECT_EQ(result.DataIn[4], 31);
    EXPECT_EQ(std::string(result.DataIn.begin() + 8, result.DataIn.begin() + 16), "STM     ");
    EXPECT_EQ(std::string(result.DataIn.begin() + 16, result.DataIn.begin() + 32), "microSD Flash   ");

    // A fixed disk with the same identity, for the tests of what the udev rule grants.
    StorageIdentity fixedIdentity{"STM     ", "microSD Flash   ", "1.00"};
    fixedIdentity.Removable = false;
    ScsiTarget fixed(fixedIdentity, vendor);
    const auto answer = fixed.Execute(*cbw, {});
    ASSERT_EQ(answer.DataIn.size(), 36u);
    EXPECT_EQ(answer.DataIn[1], 0x00);
    EXPECT_EQ(std::string(answer.DataIn.begin() + 8, answer.DataIn.begin() + 16), "STM     ");
}

TEST(ScsiTarget, CapacityAndReadsDescribeAZeroedDisk) {
    RecordingVendor vendor;
    ScsiTarget target({"STM     ", "microSD Flash   ", "1.00", 2048}, vendor);
    auto result = target.Execute(*ParseCbw(Wrapper(2, 8, true, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0})), {});
    EXPECT_EQ(result.DataIn, (std::vector<std::uint8_t>{0, 0, 0x07, 0xFF, 0, 0, 0x02, 0x00}));

    result = target.Execute(*ParseCbw(Wrapper(3, 1024, true, {0x28, 0, 0, 0, 0x07, 0xFE, 0, 0, 2, 0})), {});
    EXPECT_EQ(result.Status, CswPassed);
    EXPECT_EQ(result.DataIn, std::vector<std::uint8_t>(1024, 0));

    // One block past the end fails, and REQUEST SENSE then says why.
    result = target.Execute(*ParseCbw(Wrapper(4, 1024, true, {0x28, 0, 0, 0, 0x07, 0xFF, 0, 0, 2, 0})), {});
    EXPECT_EQ(result.Status, CswFailed);
    result = target.Execute(*ParseCbw(Wrapper(5, 18, true, {0x03, 0, 0, 0, 18, 0})), {});
    ASSERT_EQ(result.DataIn.size(), 18u);
    EXPECT_EQ(result.DataIn[2], 0x05);
    EXPECT_EQ(result.DataIn[12], 0x21);
}

TEST(ScsiTarget, VendorCommandsReachTheRadioAndNothingElseDoes) {
    RecordingVendor vendor;
    ScsiTarget target({"STM     ", "microSD Flash   ", "1.00"}, vendor);
    const std::vector<std::uint8_t> frame(2065, 0x5A);
    auto result = target.Execute(*ParseCbw(Wrapper(6, 2065, false, VendorWriteCdb)), frame);
    EXPECT_EQ(result.Status, CswPassed);
    ASSERT_EQ(vendor.writes.size(), 1u);
    EXPECT_EQ(vendor.writes[0], frame);

    result = target.Execute(*ParseCbw(Wrapper(7, 9, true, VendorReadCdb)), {});
    EXPECT_EQ(result.Status, CswPassed);
    EXPECT_EQ(vendor.reads, 1);
    EXPECT_EQ(result.DataIn, (std::vector<std::uint8_t>{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8}));

    // The same opcode with another tail, or a short command block, is not the radio's.
    auto other = VendorReadCdb;
    other[15] = 0x51;
    result = target.Execute(*ParseCbw(Wrapper(8, 9, true, other)), {});
    EXPECT_EQ(result.Status, CswFailed);
    result = target.Execute(*ParseCbw(Wrapper(9, 9, true, {0xFF, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), {});
    EXPECT_EQ(result.Status, CswFailed);
    EXPECT_EQ(vendor.reads, 1);
    EXPECT_EQ(target.Counts().VendorReads, 1u);
    EXPECT_EQ(target.Counts().VendorWrites, 1u);
    EXPECT_EQ(target.Counts().Unsupported, 2u);
}

}  // namespace
}  // namespace radio_gadget
