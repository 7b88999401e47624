// Reading a device's facts out of sysfs, for the radio node check.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "helper/server/linux/radio_node_check.h"

namespace quenfall::helper {

namespace {

namespace fs = std::filesystem;

// Reads attributes and lists directories, noting the first thing that did not come from
// the kernel's sysfs. Sysfs can only be covered by a mount, and where the helper runs
// (the initial user namespace) only root can mount; the check keeps the description honest
// should that ever change.
class SysfsReader {
public:
    explicit SysfsReader(SysfsSource source) : source_(source) {}

    // The attribute's text without the kernel's line end; blanks stay. Empty when absent.
    std::string Attribute(const fs::path& file) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return {};
        std::string text;
        if (Vouch(fd, file)) {
            char buffer[4096];
            ssize_t got;
            while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
                if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
                if (text.size() > 65536) break;  // no attribute is this long
            }
        }
        ::close(fd);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    // Whether the directory exists; what lies there is judged as the other reads are.
    bool Directory(const fs::path& dir) {
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        Vouch(fd, dir);
        ::close(fd);
        return true;
    }

    std::string Problem() const { return problem_; }

private:
    bool Vouch(int fd, const fs::path& what) {
        if (source_ == SysfsSource::AnyFileSystem) return true;
        struct statfs fsInfo {};
        if (::fstatfs(fd, &fsInfo) == 0 && fsInfo.f_type == SYSFS_MAGIC) return true;
        if (problem_.empty()) problem_ = what.string() + " is not on sysfs";
        return false;
    }

    SysfsSource source_;
    std::string problem_;
};

void ReadScsiDevice(SysfsReader& sysfs, RadioNodeFacts& facts, const fs::path& scsi) {
    facts.ScsiType = sysfs.Attribute(scsi / "type");
    facts.Vendor = sysfs.Attribute(scsi / "vendor");
    facts.Model = sysfs.Attribute(scsi / "model");
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

// The entry of sysfs' device-number index, which must be the device itself: a directory
// of sysfs whose "dev" names the number (and not, say, another device's directory put in
// its place).
void CheckIndexEntry(SysfsReader& sysfs, RadioNodeFacts& facts, const fs::path& index,
                     const std::string& number) {
    sysfs.Directory(index);
    const std::string named = sysfs.Attribute(index / number / "dev");
    if (facts.Untrusted.empty() && sysfs.Problem().empty() && named != number) {
        facts.Untrusted = "sysfs describes device " + (named.empty() ? "nothing" : named) +
                          " under " + number;
    }
}

}  // namespace

RadioNodeFacts ReadRadioNodeFacts(const fs::path& sysfs, NodeKind kind, unsigned major,
                                  unsigned minor, SysfsSource source) {
    RadioNodeFacts facts;
    facts.Kind = kind;
    SysfsReader reader(source);
    const std::string number = std::to_string(major) + ":" + std::to_string(minor);
    switch (kind) {
        case NodeKind::Other:
            facts.Name = "device " + number;
            return facts;
        case NodeKind::Block: {
            facts.Name = "block device " + number;
            CheckIndexEntry(reader, facts, sysfs / "dev" / "block", number);
            const fs::path disk = sysfs / "dev" / "block" / number;
            std::error_code error;
            facts.Partition = fs::exists(disk / "partition", error);
            facts.Removable = reader.Attribute(disk / "removable");
            ReadScsiDevice(reader, facts, disk / "device");
            facts.DiskPath = DevicePath(sysfs, disk);
            break;
        }
        case NodeKind::ScsiGeneric: {
            facts.Name = "SCSI generic device " + number;
            CheckIndexEntry(reader, facts, sysfs / "dev" / "char", number);
            const fs::path scsi = sysfs / "dev" / "char" / number / "device";
            ReadScsiDevice(reader, facts, scsi);
            fs::path disk;
            std::error_code error;
            if (reader.Directory(scsi / "block")) {
                for (fs::directory_iterator it(scsi / "block", error), end; !error && it != end;
                     it.increment(error)) {
                    ++facts.Disks;
                    disk = it->path();
                }
            }
            if (facts.Disks == 1) {
                facts.Removable = reader.Attribute(disk / "removable");
                facts.DiskPath = DevicePath(sysfs, disk);
            }
            break;
        }
    }
    if (facts.Untrusted.empty()) facts.Untrusted = reader.Problem();
    return facts;
}

}  // namespace quenfall::helper
