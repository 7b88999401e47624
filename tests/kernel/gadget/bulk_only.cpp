#include "bulk_only.h"

#include <algorithm>

namespace radio_gadget {
namespace {

constexpr std::uint32_t CbwSignature = 0x43425355;  // "USBC"
constexpr std::uint32_t CswSignature = 0x53425355;  // "USBS"
constexpr std::uint32_t BlockLength = 512;

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutBe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
void PutText(std::vector<std::uint8_t>& out, std::size_t at, std::string_view text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out[at + i] = i < text.size() ? text[i] : ' ';
}

// SCSI operation codes this target knows.
enum : std::uint8_t {
    TestUnitReady = 0x00,
    RequestSense = 0x03,
    Inquiry = 0x12,
    ModeSelect6 = 0x15,
    ModeSense6 = 0x1A,
    StartStopUnit = 0x1B,
    PreventAllow = 0x1E,
    ReadFormatCapacities = 0x23,
    ReadCapacity10 = 0x25,
    Read10 = 0x28,
    Write10 = 0x2A,
    Verify10 = 0x2F,
    SynchronizeCache10 = 0x35,
    VendorOpcode = 0xFF,
};

// Sense keys and codes.
constexpr std::uint8_t IllegalRequest = 0x05;
constexpr std::uint8_t InvalidOpcode = 0x20;
constexpr std::uint8_t InvalidFieldInCdb = 0x24;
constexpr std::uint8_t LbaOutOfRange = 0x21;

}  // namespace

std::optional<CommandBlockWrapper> ParseCbw(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != CbwLength || Le32(bytes.data()) != CbwSignature) return std::nullopt;
    CommandBlockWrapper cbw;
    cbw.Tag = Le32(bytes.data() + 4);
    cbw.DataLength = Le32(bytes.data() + 8);
    cbw.DataIn = (bytes[12] & 0x80) != 0;
    cbw.Lun = bytes[13] & 0x0F;
    cbw.CdbLength = bytes[14] & 0x1F;
    if (cbw.CdbLength < 1 || cbw.CdbLength > 16) return std::nullopt;
    std::copy_n(bytes.begin() + 15, cbw.CdbLength, cbw.Cdb.begin());
    return cbw;
}

std::array<std::uint8_t, CswLength> BuildCsw(std::uint32_t tag, std::uint32_t residue, CswStatus status) {
    std::array<std::uint8_t, CswLength> csw{};
    PutLe32(csw.data(), CswSignature);
    PutLe32(csw.data() + 4, tag);
    PutLe32(csw.data() + 8, residue);
    csw[12] = status;
    return csw;
}

VendorOp ClassifyVendor(const CommandBlockWrapper& cbw) {
    const auto& c = cbw.Cdb;
    if (cbw.CdbLength != 16 || c[0] != VendorOpcode || c[14] != 0x47 || c[15] != 0x50) return VendorOp::None;
    if (c[1] == 0x2A) return VendorOp::Write;
    if (c[1] == 0x28) return VendorOp::Read;
    return VendorOp::None;
}

ScsiTarget::ScsiTarget(StorageIdentity identity, VendorCommands& vendor)
    : identity_(identity), vendor_(vendor) {}

CommandResult ScsiTarget::Fail(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    sense_ = {key, asc, ascq};
    return {{}, CswFailed};
}

CommandResult ScsiTarget::AnswerInquiry(const CommandBlockWrapper& cbw) {
    if (cbw.Cdb[1] & 0x01) return Fail(IllegalRequest, InvalidFieldInCdb, 0);  // no VPD pages
    std::vector<std::uint8_t> data(36, 0);
    data[0] = 0x00;  // direct-access block device
    data[1] = identity_.Removable ? 0x80 : 0x00;  // removable medium
    data[2] = 0x02;
    data[3] = 0x02;  // response data format
    data[4] = static_cast<std::uint8_t>(data.size() - 5);
    PutText(data, 8, identity_.Vendor, 8);
    PutText(data, 16, identity_.Product, 16);
    PutText(data, 32, identity_.Revision, 4);
    return {std::move(data), CswPassed};
}

CommandResult ScsiTarget::AnswerVendor(const CommandBlockWrapper& cbw, std::span<const std::uint8_t> dataOut) {
    switch (ClassifyVendor(cbw)) {
    case VendorOp::Write:
        if (cbw.DataIn) break;
        ++counts_.VendorWrites;
        vendor_.VendorWrite(dataOut);
        return {{}, CswPassed};
    case VendorOp::Read: {
        if (!cbw.DataIn && cbw.DataLength != 0) break;
        ++counts_.VendorReads;
        std::vector<std::uint8_t> data(cbw.DataLength, 0);
        vendor_.VendorRead(data);
        return {std::move(data), CswPassed};
    }
    case VendorOp::None:
        break;
    }
    ++counts_.Unsupported;
    return Fail(IllegalRequest, InvalidFieldInCdb, 0);
}

CommandResult ScsiTarget::Execute(const CommandBlockWrapper& cbw, std::span<const std::uint8_t> dataOut) {
    const auto& c = cbw.Cdb;
    if (c[0] == VendorOpcode) return AnswerVendor(cbw, dataOut);
    ++counts_.Standard;
    if (c[0] != RequestSense) sense_ = {};
    switch (c[0]) {
    case TestUnitReady:
    case StartStopUnit:
    case PreventAllow:
    case SynchronizeCache10:
    case Verify10:
    case ModeSelect6:
        return {{}, CswPassed};
    case RequestSense: {
        std::vector<std::uint8_t> data(18, 0);
        data[0] = 0x70;  // current error, fixed format
        data[2] = sense_[0];
        data[7] = 10;  // additional sense length
        data[12] = sense_[1];
        data[13] = sense_[2];
        sense_ = {};
        return {std::move(data), CswPassed};
    }
    case Inquiry:
        return AnswerInquiry(cbw);
    case ModeSense6: {
        // Header only: no pages, not write-protected. The host then assumes a write-through
        // cache, which is what a radio has.
        return {{3, 0, 0, 0}, CswPassed};
    }
    case ReadFormatCapacities: {
        std::vector<std::uint8_t> data(12, 0);
        data[3] = 8;
        PutBe32(data.data() + 4, identity_.Blocks);
        PutBe32(data.data() + 8, (0x02u << 24) | BlockLength);  // formatted, 512-byte blocks
        return {std::move(data), CswPassed};
    }
    case ReadCapacity10: {
        std::vector<std::uint8_t> data(8, 0);
        PutBe32(data.data(), identity_.Blocks - 1);
        PutBe32(data.data() + 4, BlockLength);
        return {std::move(data), CswPassed};
    }
    case Read10: {
        const std::uint32_t lba = (c[2] << 24) | (c[3] << 16) | (c[4] << 8) | c[5];
        const std::uint32_t count = (c[7] << 8) | c[8];
        if (static_cast<std::uint64_t>(lba) + count > identity_.Blocks)
            return Fail(IllegalRequest, LbaOutOfRange, 0);
        return {std::vector<std::uint8_t>(static_cast<std::size_t>(count) * BlockLength, 0), CswPassed};
    }
    case Write10:
        // The host never writes to the radio's medium on its own; a stray write is taken
        // and dropped so that the transport stays in step.
        return {{}, CswPassed};
    default:
        --counts_.Standard;
        ++counts_.Unsupported;
        return Fail(IllegalRequest, InvalidOpcode, 0);
    }
}

}  // namespace radio_gadget
