// Reading a device's facts out of sysfs, for the radio node check.
#include <fstream>
#include <iterator>
#include <system_error>

#include "link/linux/radio_node_check.h"

namespace quenfall::helper {

namespace {

namespace fs = std::filesystem;

// The attribute's text without the kernel's line end; blanks stay. Empty when absent.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

void ReadScsiDevice(RadioNodeFacts& facts, const fs::path& scsi) {
    facts.ScsiType = Attribute(scsi / "type");
    facts.Vendor = Attribute(scsi / "vendor");
    facts.Model = Attribute(scsi / "model");
}

// The disk's path below the sysfs root, as udev gives a device's path ("/devices/...").
std::string DevicePath(const fs::path& sysfs, const fs::path& disk) {
    std::error_code error;
    const fs::path real = fs::canonical(disk, error);
    if (error) return {};
    const fs::path root = fs::canonical(sysfs, error);
    if (error) return {};
    return "/" + real.lexically_relative(root).generic_string();
}

}  // namespace

RadioNodeFacts ReadRadioNodeFacts(const fs::path& sysfs, NodeKind kind, unsigned major,
                                  unsigned minor) {
    RadioNodeFacts facts;
    facts.Kind = kind;
    const std::string number = std::to_string(major) + ":" + std::to_string(minor);
    std::error_code error;
    switch (kind) {
        case NodeKind::Other:
            facts.Name = "device " + number;
            break;
        case NodeKind::Block: {
            facts.Name = "block device " + number;
            const fs::path disk = sysfs / "dev" / "block" / number;
            facts.Partition = fs::exists(disk / "partition", error);
            facts.Removable = Attribute(disk / "removable");
            ReadScsiDevice(facts, disk / "device");
            facts.DiskPath = DevicePath(sysfs, disk);
            break;
        }
        case NodeKind::ScsiGeneric: {
            facts.Name = "SCSI generic device " + number;
            const fs::path scsi = sysfs / "dev" / "char" / number / "device";
            ReadScsiDevice(facts, scsi);
            fs::path disk;
            for (fs::directory_iterator it(scsi / "block", error), end; !error && it != end;
                 it.increment(error)) {
                ++facts.Disks;
                disk = it->path();
            }
            if (facts.Disks == 1) {
                facts.Removable = Attribute(disk / "removable");
                facts.DiskPath = DevicePath(sysfs, disk);
            }
            break;
        }
    }
    return facts;
}

}  // namespace quenfall::helper
