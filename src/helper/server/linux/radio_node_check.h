#pragma once
// Whether an opened device node is the radio, judged from what sysfs says about the device
// behind the descriptor (found by its device number, not by the node's name, so that a node
// that changed hands is judged by what it is now). The radio helper sends its commands only
// to a node that passes.
//
// Two kinds of node qualify: the radio's whole disk (block), and the SCSI generic node of
// the same SCSI device (character, major 21), which the helper prefers because the kernel
// honours a command's time-out there; through the disk node it stretches any time-out
// below 7 s to 7 s.
#include <cstdint>
#include <filesystem>
#include <string>

namespace quenfall::helper {

enum class NodeKind : std::uint8_t { Block, ScsiGeneric, Other };

inline constexpr unsigned ScsiGenericMajor = 21;

// What sysfs says. Texts are as read, without the line end; absent files read as empty.
struct RadioNodeFacts {
    NodeKind Kind = NodeKind::Other;
    std::string Name;        // "block device 8:16", for the messages
    bool Partition = false;  // Block: a partition rather than the whole disk
    std::string Removable;   // "removable" of the whole disk ("1" when removable)
    std::string ScsiType;    // peripheral type of the SCSI device, "0" for a disk
    std::string Vendor;      // of the SCSI device, blank-padded
    std::string Model;
    int Disks = 0;           // ScsiGeneric: block devices of its SCSI device
    // The whole disk's place in sysfs ("/devices/.../block/sdb"), for the caller to check
    // that the node still belongs to the radio at the USB port it scanned.
    std::string DiskPath;
    // Why the description cannot be believed, when it cannot: some of it was not read
    // from sysfs (a file system mounted over it), or sysfs' entry for the device number
    // is another device's. Empty when it can.
    std::string Untrusted;
};

// Empty when the node is the radio: a whole disk (or the generic node of a SCSI device
// with exactly one disk), of SCSI type 0, removable, with exactly the radio's vendor and
// model. Otherwise why not, in words.
std::string WhyNotTheRadio(const RadioNodeFacts& facts);

// Where the facts may come from. The helper believes only the kernel's own sysfs; tests
// describe devices with a tree of plain files.
enum class SysfsSource : std::uint8_t { KernelOnly, AnyFileSystem };

// Reads the facts of the device major:minor from a sysfs tree (/sys on a real system).
// kind is what the descriptor's mode says: Block for a block device, ScsiGeneric for a
// character device of major 21, Other for anything else (then nothing is read). Every
// directory and attribute read must lie on sysfs (KernelOnly), and the device's own "dev"
// attribute must name major:minor, or the facts are Untrusted.
RadioNodeFacts ReadRadioNodeFacts(const std::filesystem::path& sysfs, NodeKind kind,
                                  unsigned major, unsigned minor, SysfsSource source);

}  // namespace quenfall::helper
