// The platform-free rules of the radio link: which drives are the radio and in which order,
// the vendor command blocks, and which hotplug events and device messages reach the watch.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/device_change.h"
#include "link/drive_selection.h"
#include "link/radio_identity.h"
#include "link/storage_descriptor.h"
#include "link/usb_event_filter.h"
#include "link/vendor_command.h"

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

TEST(VendorCommand, BlocksAreFixedBytes) {
    const CommandBlock write = {0xFF, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};
    const CommandBlock read = {0xFF, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};
    EXPECT_EQ(VendorCommandBlock(VendorCommand::Write), write);
    EXPECT_EQ(VendorCommandBlock(VendorCommand::Read), read);
    EXPECT_EQ(VendorCommandTimeout.count(), 2000);
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

TEST(RadioIdentity, IsTheBlankPaddedInquiryFields) {
    EXPECT_TRUE(IsRadioIdentity("STM     ", "microSD Flash   "));
    EXPECT_FALSE(IsRadioIdentity("STM     ", "microSD Flash   \n"));
    EXPECT_FALSE(IsRadioIdentity(std::string_view("STM     \0", 9), "microSD Flash   "));
}

}  // namespace
}  // namespace quenfall
