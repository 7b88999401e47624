// The platform-free rules of the radio link: which drives are the radio and in which order,
// and which hotplug events and device messages reach the watch.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/usb_watch_filter.h"
#include "platform/drive_location.h"
#include "platform/linux/drive_selection.h"
#include "platform/located_device_link.h"
#include "platform/removable_disk_names.h"
#include "platform/windows/storage_descriptor.h"

namespace quenfall {
namespace {

BlockDeviceRecord Disk(const std::string& name, std::string vendor = "STM     ",
                       std::string model = "microSD Flash   ", std::string removable = "1") {
    return {"/dev/" + name, name, "disk", std::move(removable), std::move(vendor), std::move(model), ""};
}

std::vector<std::string> Names(const std::vector<BlockDeviceRecord>& records) {
    std::vector<std::string> names;
    for (const auto& r : records) names.push_back(r.SysName);
    return names;
}

TEST(DriveSelection, KeepsOnlyExactIdentityOnRemovableDisks) {
    auto partition = Disk("sdf");
    partition.DevType = "partition";
    auto noNode = Disk("sdg");
    noNode.DevNode.clear();
    const auto selected = SelectRadioDrives({
        Disk("sda", "ATA     ", "Samsung SSD 860 ", "0"),  // the system disk
        Disk("sdb"),                                      // the radio
        Disk("sdc", "STM", "microSD Flash"),              // blanks trimmed: not the radio
        Disk("sdd", "STM     ", "microSD Flash"),         // model without its three blanks
        Disk("sde", "STM     ", "microSD Flash    "),     // one blank too many
        partition,
        noNode,
        Disk("sdh", "STM     ", "microSD Flash   ", "0"),  // same identity, not removable
        Disk("sdi", "stm     ", "microSD Flash   "),        // case matters
        Disk("sdj", "STM     ", "MICROSD FLASH   "),
        Disk("vda", "", ""),                                // no SCSI parent at all
    });
    EXPECT_EQ(Names(selected), std::vector<std::string>{"sdb"});
}

TEST(DriveSelection, AcceptsSysfsTextsWithOrWithoutTheirLineEnd) {
    // libudev strips the kernel's newline, a raw sysfs read keeps it; blanks are never trimmed.
    EXPECT_TRUE(IsRadioDrive(Disk("sdb", "STM     \n", "microSD Flash   \n", "1\n")));
    EXPECT_TRUE(IsRadioDrive(Disk("sdb", "STM     ", "microSD Flash   ", "1")));
    EXPECT_FALSE(IsRadioDrive(Disk("sdb", "STM\n", "microSD Flash   \n")));
    EXPECT_FALSE(IsRadioDrive(Disk("sdb", "STM      \n", "microSD Flash   \n")));
    EXPECT_FALSE(IsRadioDrive(Disk("sdb", "STM     ", "microSD Flash   ", "")));
    EXPECT_EQ(WithoutLineEnd("STM     \n"), "STM     ");
    EXPECT_EQ(WithoutLineEnd("  \r\n"), "  ");
}

TEST(DriveSelection, ListsInKernelNameOrderAndTheFirstIsOpened) {
    const auto selected =
        SelectRadioDrives({Disk("sdaa"), Disk("sdz"), Disk("sdb"), Disk("sdab"), Disk("sda")});
    EXPECT_EQ(Names(selected), (std::vector<std::string>{"sda", "sdb", "sdz", "sdaa", "sdab"}));
    EXPECT_TRUE(DeviceNameBefore("sdz", "sdaa"));
    EXPECT_FALSE(DeviceNameBefore("sdaa", "sdz"));
    EXPECT_FALSE(DeviceNameBefore("sdb", "sdb"));
    EXPECT_TRUE(SelectRadioDrives({}).empty());
}

TEST(DriveLocation, IsTheUsbPortChainWhateverHostAndNameTheDiskGets) {
    // The same radio before and after its restart: new SCSI host, new disk name.
    EXPECT_EQ(LocationFromDevPath("/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.2/1-1.2:1.0/"
                                  "host6/target6:0:0/6:0:0:0/block/sdb"),
              "1-1.2");
    EXPECT_EQ(LocationFromDevPath("/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.2/1-1.2:1.0/"
                                  "host9/target9:0:0/9:0:0:0/block/sde"),
              "1-1.2");
    // Another port of the same hub, another bus, a root port, a hub behind a hub.
    EXPECT_EQ(LocationFromDevPath("/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.3/1-1.3:1.0/"
                                  "host7/target7:0:0/7:0:0:0/block/sdb"),
              "1-1.3");
    EXPECT_EQ(LocationFromDevPath("/devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1.3/3-1.3:1.0/"
                                  "host7/target7:0:0/7:0:0:0/block/sdb"),
              "3-1.3");
    EXPECT_EQ(LocationFromDevPath("/devices/platform/dummy_hcd.1/usb2/2-1/2-1:1.0/host0/"
                                  "target0:0:0/0:0:0:0/block/sda"),
              "2-1");
    EXPECT_EQ(LocationFromDevPath("/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4.1/1-4.1.7/"
                                  "1-4.1.7:1.0/host3/target3:0:0/3:0:0:0/block/sdc"),
              "1-4.1.7");
    // A second logical unit of one device is another drive.
    EXPECT_EQ(LocationFromDevPath("/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host4/"
                                  "target4:0:0/4:0:0:1/block/sdd"),
              "1-2/lun1");
    // Not behind USB: the whole path, never empty.
    EXPECT_EQ(LocationFromDevPath("/devices/virtual/block/loop0"), "/devices/virtual/block/loop0");
}

RadioDrive At(std::string node, std::string location) {
    return {std::move(node), std::move(location), "STM     ", "microSD Flash   "};
}

TEST(DriveLocation, ABoundRadioIsFoundByLocationAcrossRenamedAndReorderedScans) {
    const RadioDrive first = At("/dev/sdb", "1-1.1");
    const RadioDrive second = At("/dev/sdc", "1-1.2");
    const RadioDrive third = At("/dev/sdd", "1-1.3");

    // Before: three radios in name order.
    const std::vector<RadioDrive> before{first, second, third};
    EXPECT_EQ(FindBoundDrive(before, first), 0u);
    EXPECT_EQ(FindBoundDrive(before, third), 2u);
    // All restarted: the third came back first and took sdb, the first came back last.
    const std::vector<RadioDrive> after{At("/dev/sdb", "1-1.3"), At("/dev/sdc", "1-1.2"), At("/dev/sde", "1-1.1")};
    EXPECT_EQ(FindBoundDrive(after, first), 2u);
    EXPECT_EQ(FindBoundDrive(after, second), 1u);
    EXPECT_EQ(FindBoundDrive(after, third), 0u);
    // The first is not back yet: its old name now belongs to the third, which is not it.
    const std::vector<RadioDrive> waiting{At("/dev/sdb", "1-1.3"), At("/dev/sdc", "1-1.2")};
    EXPECT_EQ(FindBoundDrive(waiting, first), std::nullopt);
    // Two drives claiming one place cannot be told apart: neither is used.
    const std::vector<RadioDrive> twice{At("/dev/sdb", "1-1.1"), At("/dev/sdf", "1-1.1")};
    EXPECT_EQ(FindBoundDrive(twice, first), std::nullopt);
    EXPECT_EQ(FindBoundDrive({}, first), std::nullopt);
}

TEST(DriveLocation, WithoutALocationOnlyTheSameNodeQualifies) {
    const RadioDrive letter = At("\\\\.\\F:", "");
    EXPECT_EQ(FindBoundDrive({At("\\\\.\\E:", ""), At("\\\\.\\F:", "")}, letter), 1u);
    EXPECT_EQ(FindBoundDrive({At("\\\\.\\E:", "")}, letter), std::nullopt);
    // A drive with a location is never taken for one bound by its node alone.
    EXPECT_EQ(FindBoundDrive({At("\\\\.\\F:", "1-1.1")}, letter), std::nullopt);
}

TEST(DriveLocation, AUserNamesARadioByNodeOrLocation) {
    const std::vector<RadioDrive> scan{At("/dev/sdb", "1-1.3"), At("/dev/sdc", "1-1.2")};
    EXPECT_EQ(FindNamedDrive(scan, "/dev/sdc"), 1u);
    EXPECT_EQ(FindNamedDrive(scan, "1-1.3"), 0u);
    EXPECT_EQ(FindNamedDrive(scan, "1-1.1"), std::nullopt);
    EXPECT_EQ(FindNamedDrive(scan, "sdc"), std::nullopt);
    EXPECT_EQ(FindNamedDrive(scan, ""), std::nullopt);
}

// A scan that the test rewrites between calls, and the drive each open reaches.
struct ScriptedDrives final : DriveListLink {
    std::uint16_t ScanDrives() override {
        listed = next;
        return static_cast<std::uint16_t>(listed.size());
    }
    OpenResult OpenDevice() override { return OpenListedDrive(0); }
    OpenResult OpenListedDrive(std::size_t index) override {
        opened.push_back(listed.at(index).Node);
        OpenResult result;
        result.Failure = OpenFailure::CannotOpen;  // the node is what the test looks at
        return result;
    }
    std::vector<RadioDrive> ListedDrives() const override { return listed; }
    std::vector<RadioDrive> next, listed;
    std::vector<std::string> opened;
};

TEST(LocatedDeviceLink, ScansForItsRadioAloneAndOpensItUnderItsNewName) {
    auto drives = std::make_unique<ScriptedDrives>();
    ScriptedDrives& scripted = *drives;
    LocatedDeviceLink link(std::move(drives), At("/dev/sdb", "1-1.1"));

    scripted.next = {At("/dev/sdb", "1-1.1"), At("/dev/sdc", "1-1.2")};
    EXPECT_EQ(link.ScanDrives(), 1);
    link.OpenDevice();
    // Restarting: another radio has its name, it is not back.
    scripted.next = {At("/dev/sdb", "1-1.2")};
    EXPECT_EQ(link.ScanDrives(), 0);
    EXPECT_EQ(link.OpenDevice().Failure, OpenFailure::NoRadio);
    // Back as sdd, listed second.
    scripted.next = {At("/dev/sdb", "1-1.2"), At("/dev/sdd", "1-1.1")};
    EXPECT_EQ(link.ScanDrives(), 1);
    link.OpenDevice();
    EXPECT_EQ(scripted.opened, (std::vector<std::string>{"/dev/sdb", "/dev/sdd"}));
    EXPECT_EQ(link.LastNode(), "/dev/sdd");
}

TEST(UsbEventFilter, OnlyWholeUsbDevicesArrivingOrLeaving) {
    struct Case {
        const char* subsystem;
        const char* devtype;
        const char* action;
        bool expected;
    };
    const Case cases[] = {
        {"usb", "usb_device", "add", true},
        {"usb", "usb_device", "remove", true},
        {"usb", "usb_device", "bind", false},
        {"usb", "usb_device", "unbind", false},
        {"usb", "usb_device", "change", false},
        {"usb", "usb_device", "move", false},
        {"usb", "usb_interface", "add", false},
        {"usb", "usb_interface", "remove", false},
        {"block", "disk", "add", false},
        {"scsi", "scsi_device", "remove", false},
        {"usb", "", "add", false},
        {"", "usb_device", "add", false},
        {"usb", "usb_device", "", false},
        {"USB", "usb_device", "add", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsUsbDeviceArrivalOrRemoval(c.subsystem, c.devtype, c.action), c.expected)
            << c.subsystem << " / " << c.devtype << " / " << c.action;
    }
}

TEST(UsbEventFilter, TheWatchAlsoSeesWholeDisksArriveAndLeave) {
    // The radio's disk appears a second or more after its USB device (usb-storage's
    // delay_use): its arrival must lead to a report of its own.
    EXPECT_TRUE(IsWatchedArrivalOrRemoval("block", "disk", "add"));
    EXPECT_TRUE(IsWatchedArrivalOrRemoval("block", "disk", "remove"));
    EXPECT_TRUE(IsWatchedArrivalOrRemoval("usb", "usb_device", "add"));
    EXPECT_TRUE(IsWatchedArrivalOrRemoval("usb", "usb_device", "remove"));
    EXPECT_TRUE(IsDiskArrivalOrRemoval("block", "disk", "remove"));
    EXPECT_FALSE(IsDiskArrivalOrRemoval("usb", "usb_device", "add"));
    for (const char* action : {"change", "bind", "unbind", "move", "online", ""}) {
        EXPECT_FALSE(IsWatchedArrivalOrRemoval("block", "disk", action)) << action;
    }
    EXPECT_FALSE(IsWatchedArrivalOrRemoval("block", "partition", "add"));
    EXPECT_FALSE(IsWatchedArrivalOrRemoval("scsi", "scsi_device", "add"));
    EXPECT_FALSE(IsWatchedArrivalOrRemoval("scsi_generic", "", "add"));
    EXPECT_FALSE(IsWatchedArrivalOrRemoval("usb", "usb_interface", "add"));
    EXPECT_FALSE(IsWatchedArrivalOrRemoval("Block", "disk", "add"));
}

TEST(RemovableDiskNames, EachSystemsNamesInTheOrderItHandsThemOut) {
    EXPECT_EQ(KernelDiskName(0), "/dev/sda");
    EXPECT_EQ(KernelDiskName(25), "/dev/sdz");
    EXPECT_EQ(KernelDiskName(26), "/dev/sdaa");
    EXPECT_EQ(KernelDiskName(27), "/dev/sdab");
    EXPECT_EQ(KernelDiskName(63), "/dev/sdbl");

    // From E: to Z:, never the system's C: or the D: an optical drive usually holds; past Z:
    // a disk has no letter and is named by its number.
    EXPECT_EQ(DriveLetterName(0), "\\\\.\\E:");
    EXPECT_EQ(DriveLetterName(1), "\\\\.\\F:");
    EXPECT_EQ(DriveLetterName(21), "\\\\.\\Z:");
    EXPECT_EQ(DriveLetterName(22), "\\\\.\\PhysicalDrive23");
    EXPECT_EQ(DriveLetterName(63), "\\\\.\\PhysicalDrive64");
}

// A descriptor as the storage query returns it: the fixed part, then the texts.
struct Descriptor {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(StorageDescriptorBufferSize, 0);
    void Put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void PutText(std::size_t field, std::size_t at, const std::string& text) {
        Put32(field, static_cast<std::uint32_t>(at));
        std::memcpy(bytes.data() + at, text.data(), text.size());
        bytes[at + text.size()] = 0;
    }
    static Descriptor Radio(const std::string& vendor = "STM     ",
                            const std::string& product = "microSD Flash   ") {
        Descriptor d;
        d.Put32(0, 1);
        d.Put32(DescriptorSizeOffset, 551);
        d.bytes[DescriptorRemovableMediaOffset] = 1;
        d.Put32(DescriptorBusTypeOffset, StorageBusUsb);
        d.PutText(DescriptorVendorIdOffset, 40, vendor);
        d.PutText(DescriptorProductIdOffset, 49, product);
        return d;
    }
};

TEST(StorageDescriptor, MatchesOnlyTheExactRadioTexts) {
    EXPECT_TRUE(DescriptorIsRadio(Descriptor::Radio().bytes));
    const auto identity = ParseStorageIdentity(Descriptor::Radio().bytes);
    EXPECT_EQ(identity.Vendor, "STM     ");
    EXPECT_EQ(identity.Product, "microSD Flash   ");

    EXPECT_FALSE(DescriptorIsRadio(Descriptor::Radio("STM", "microSD Flash   ").bytes));
    EXPECT_FALSE(DescriptorIsRadio(Descriptor::Radio("STM     ", "microSD Flash").bytes));
    EXPECT_FALSE(DescriptorIsRadio(Descriptor::Radio("STM     ", "microSD Flash    ").bytes));
    EXPECT_FALSE(DescriptorIsRadio(Descriptor::Radio("Generic ", "microSD Flash   ").bytes));
}

TEST(StorageDescriptor, AbsentFieldsReadAsNullAndNeverMatch) {
    auto noVendor = Descriptor::Radio();
    noVendor.Put32(DescriptorVendorIdOffset, 0);
    EXPECT_EQ(ParseStorageIdentity(noVendor.bytes).Vendor, "(NULL)");
    EXPECT_FALSE(DescriptorIsRadio(noVendor.bytes));

    auto noProduct = Descriptor::Radio();
    noProduct.Put32(DescriptorProductIdOffset, 0);
    EXPECT_EQ(ParseStorageIdentity(noProduct.bytes).Product, "(NULL)");
    EXPECT_FALSE(DescriptorIsRadio(noProduct.bytes));
}

TEST(StorageDescriptor, NeverReadsOutsideTheReturnedBytes) {
    // Offsets at or past the end of the buffer.
    auto pastEnd = Descriptor::Radio();
    pastEnd.Put32(DescriptorVendorIdOffset, 551);
    EXPECT_EQ(ParseStorageIdentity(pastEnd.bytes).Vendor, std::nullopt);
    EXPECT_FALSE(DescriptorIsRadio(pastEnd.bytes));
    pastEnd.Put32(DescriptorVendorIdOffset, 0xFFFFFFFF);
    EXPECT_FALSE(DescriptorIsRadio(pastEnd.bytes));

    // A text that runs to the end of the buffer without its NUL.
    auto unterminated = Descriptor::Radio();
    unterminated.PutText(DescriptorProductIdOffset, 534, "microSD Flash   ");  // NUL is the last byte
    EXPECT_TRUE(DescriptorIsRadio(unterminated.bytes));
    unterminated.bytes[550] = ' ';
    EXPECT_EQ(ParseStorageIdentity(unterminated.bytes).Product, std::nullopt);
    EXPECT_FALSE(DescriptorIsRadio(unterminated.bytes));

    // The driver returned fewer bytes than the texts need, or not even the offsets.
    const auto radio = Descriptor::Radio().bytes;
    EXPECT_FALSE(DescriptorIsRadio(std::span(radio).first(60)));
    EXPECT_TRUE(DescriptorIsRadio(std::span(radio).first(66)));
    EXPECT_FALSE(DescriptorIsRadio(std::span(radio).first(14)));
    EXPECT_FALSE(DescriptorIsRadio({}));
}

TEST(StorageDescriptor, TheHelpersCheckWantsTheIdentityOnUsbWithRemovableMedia) {
    EXPECT_EQ(CheckRadioDrive(Descriptor::Radio().bytes), RadioDriveCheck::Radio);
    const auto attachment = ParseStorageAttachment(Descriptor::Radio().bytes);
    EXPECT_EQ(attachment.RemovableMedia, true);
    EXPECT_EQ(attachment.Bus, 7u);

    EXPECT_EQ(CheckRadioDrive(Descriptor::Radio("Generic ").bytes), RadioDriveCheck::NotTheRadio);
    auto sata = Descriptor::Radio();
    sata.Put32(DescriptorBusTypeOffset, 11);
    EXPECT_EQ(CheckRadioDrive(sata.bytes), RadioDriveCheck::NotOnUsb);
    auto fixed = Descriptor::Radio();
    fixed.bytes[DescriptorRemovableMediaOffset] = 0;
    EXPECT_EQ(CheckRadioDrive(fixed.bytes), RadioDriveCheck::NotRemovable);
    // Another identity is named first, whatever its bus.
    auto stickOnSata = Descriptor::Radio("SanDisk ");
    stickOnSata.Put32(DescriptorBusTypeOffset, 11);
    EXPECT_EQ(CheckRadioDrive(stickOnSata.bytes), RadioDriveCheck::NotTheRadio);
}

TEST(StorageDescriptor, AnAttachmentTheReturnedBytesDoNotReachIsNeverUsb) {
    const auto whole = Descriptor::Radio().bytes;
    EXPECT_EQ(ParseStorageAttachment(std::span(whole).first(10)).RemovableMedia, std::nullopt);
    EXPECT_EQ(ParseStorageAttachment(std::span(whole).first(11)).RemovableMedia, true);
    EXPECT_EQ(ParseStorageAttachment(std::span(whole).first(31)).Bus, std::nullopt);
    EXPECT_EQ(ParseStorageAttachment(std::span(whole).first(32)).Bus, StorageBusUsb);
    // A bus of 0 (unknown) and a flag other than 0 or 1 read as the driver wrote them.
    auto unknown = Descriptor::Radio();
    unknown.Put32(DescriptorBusTypeOffset, 0);
    EXPECT_EQ(CheckRadioDrive(unknown.bytes), RadioDriveCheck::NotOnUsb);
    auto flagged = Descriptor::Radio();
    flagged.bytes[DescriptorRemovableMediaOffset] = 0xff;
    EXPECT_EQ(CheckRadioDrive(flagged.bytes), RadioDriveCheck::Radio);
}

// A device-interface record as WM_DEVICECHANGE points to it.
std::vector<std::uint8_t> InterfaceRecord(std::uint32_t type,
                                          const std::array<std::uint8_t, 16>& guid) {
    std::vector<std::uint8_t> r(DeviceInterfaceRecordSize, 0);
    r[0] = static_cast<std::uint8_t>(DeviceInterfaceRecordSize);
    r[4] = static_cast<std::uint8_t>(type);
    std::memcpy(r.data() + BroadcastClassGuidOffset, guid.data(), guid.size());
    return r;
}

TEST(DeviceChange, UsbDeviceArrivalAndRemovalMatch) {
    const auto usb = InterfaceRecord(DeviceInterfaceRecordType, UsbDeviceInterfaceClass);
    EXPECT_TRUE(IsUsbDeviceChange(0x8000, usb));
    EXPECT_TRUE(IsUsbDeviceChange(0x8004, usb));
    // The GUID's text form {A5DCBF10-6530-11D2-901F-00C04FB951ED}, laid out in memory.
    EXPECT_EQ(usb[12], 0x10);
    EXPECT_EQ(usb[15], 0xA5);
    EXPECT_EQ(usb[16], 0x30);
    EXPECT_EQ(usb[18], 0xD2);
    EXPECT_EQ(usb[20], 0x90);
    EXPECT_EQ(usb[27], 0xED);
}

TEST(DeviceChange, OtherEventsRecordsAndClassesDoNot) {
    const auto usb = InterfaceRecord(DeviceInterfaceRecordType, UsbDeviceInterfaceClass);
    for (std::uintptr_t event : {0x0007u /* nodes changed */, 0x8001u /* query remove */,
                                 0x8002u /* remove failed */, 0x8003u /* remove pending */,
                                 0x8006u /* custom */, 0x0018u /* config changed */}) {
        EXPECT_FALSE(IsUsbDeviceChange(event, usb)) << event;
    }
    EXPECT_FALSE(IsUsbDeviceChange(0x8000, InterfaceRecord(2, UsbDeviceInterfaceClass)));  // volume
    EXPECT_FALSE(IsUsbDeviceChange(0x8000, InterfaceRecord(3, UsbDeviceInterfaceClass)));  // port

    auto otherClass = UsbDeviceInterfaceClass;
    otherClass[15] ^= 0x01;
    EXPECT_FALSE(IsUsbDeviceChange(0x8000, InterfaceRecord(DeviceInterfaceRecordType, otherClass)));

    // Records too short to hold what is read.
    EXPECT_FALSE(IsUsbDeviceChange(0x8000, std::span(usb).first(BroadcastHeaderSize)));
    EXPECT_FALSE(IsUsbDeviceChange(0x8000, std::span(usb).first(27)));
    EXPECT_TRUE(IsUsbDeviceChange(0x8000, std::span(usb).first(28)));
    EXPECT_FALSE(IsUsbDeviceChange(0x8000, std::span(usb).first(8)));
    EXPECT_FALSE(IsUsbDeviceChange(0x8000, {}));
}

}  // namespace
}  // namespace quenfall
