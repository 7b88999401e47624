#pragma once
// The USB mass-storage bulk-only transport as the device sees it: a 31-byte command block
// wrapper from the host, an optional data phase, a 13-byte status wrapper back. Behind it a
// small SCSI target that is just enough of a removable disk for the host's usb-storage and
// sd drivers to attach, plus the radio's two vendor commands, which go to VendorCommands.
// Pure code over bytes; the FunctionFS endpoints live in function_fs.h.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace radio_gadget {

inline constexpr std::size_t CbwLength = 31;
inline constexpr std::size_t CswLength = 13;

struct CommandBlockWrapper {
    std::uint32_t Tag = 0;
    std::uint32_t DataLength = 0;
    bool DataIn = false;
    std::uint8_t Lun = 0;
    std::uint8_t CdbLength = 0;
    std::array<std::uint8_t, 16> Cdb{};
};

// None unless bytes are exactly one well-formed wrapper ("USBC", CDB length 1..16).
std::optional<CommandBlockWrapper> ParseCbw(std::span<const std::uint8_t> bytes);

enum CswStatus : std::uint8_t { CswPassed = 0, CswFailed = 1, CswPhaseError = 2 };
std::array<std::uint8_t, CswLength> BuildCsw(std::uint32_t tag, std::uint32_t residue,
                                             CswStatus status);

// Where the radio's vendor commands end up.
class VendorCommands {
public:
    virtual ~VendorCommands() = default;
    virtual void VendorWrite(std::span<const std::uint8_t> data) = 0;
    virtual void VendorRead(std::span<std::uint8_t> buffer) = 0;
};

// What one command produced: the data-in bytes (the transport pads or cuts them to the
// host's length) and the status for the wrapper.
struct CommandResult {
    std::vector<std::uint8_t> DataIn;
    CswStatus Status = CswPassed;
};

struct StorageIdentity {
    std::string_view Vendor;    // 8 bytes, blank-padded
    std::string_view Product;   // 16 bytes, blank-padded
    std::string_view Revision;  // 4 bytes
    std::uint32_t Blocks = 2048;  // of 512 bytes; the medium reads as zeros
    bool Removable = true;        // the inquiry's removable-medium bit
};

struct CommandCounts {
    std::uint32_t VendorWrites = 0;
    std::uint32_t VendorReads = 0;
    std::uint32_t Standard = 0;
    std::uint32_t Unsupported = 0;
};

class ScsiTarget {
public:
    ScsiTarget(StorageIdentity identity, VendorCommands& vendor);
    // dataOut holds the whole data-out phase (empty for data-in commands).
    CommandResult Execute(const CommandBlockWrapper& cbw, std::span<const std::uint8_t> dataOut);
    const CommandCounts& Counts() const { return counts_; }

private:
    CommandResult Fail(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq);
    CommandResult AnswerInquiry(const CommandBlockWrapper& cbw);
    CommandResult AnswerVendor(const CommandBlockWrapper& cbw, std::span<const std::uint8_t> dataOut);

    StorageIdentity identity_;
    VendorCommands& vendor_;
    CommandCounts counts_;
    std::array<std::uint8_t, 3> sense_{};  // key, ASC, ASCQ of the last failed command
};

// Whether a command block is one of the radio's two vendor commands: FF 2A (write) or
// FF 28 (read), ending in 47 50.
enum class VendorOp : std::uint8_t { None, Write, Read };
VendorOp ClassifyVendor(const CommandBlockWrapper& cbw);

}  // namespace radio_gadget
