// Radios followed by their USB port on Windows, from property strings as the configuration
// manager reports them: a disk node, the USB device (or the interface and the device of a
// composite one) above it, the hub and the controller. Before and after a restart into boot
// mode the radio is a new device on the same port; two radios on a hub can trade letters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drive_location.h"
#include "platform/windows/usb_location_path.h"

namespace quenfall {
namespace {

using namespace std::string_literals;

// A REG_MULTI_SZ value as it comes from the system, each string NUL-terminated, one more NUL
// at the end.
std::vector<std::string> Paths(const std::string& multi) { return SplitMultiString(multi); }

// The chain from the radio's disk upward on a four-port hub at root port 2 of the xHCI
// controller at PCI(1400). In programming mode the radio has a serial number; in boot mode
// it has none and Windows makes up an instance id from the port.
std::vector<DeviceNodeRecord> RadioOnHubPort(int port, const std::string& usbInstance, const std::string& diskInstance) {
    const std::string p = std::to_string(port);
    return {
        {diskInstance, {}},  // a disk has no location paths of its own
        {usbInstance,
         Paths("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(" + p + ")\0"s +
               "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS02)#USB(" + p + ")\0\0"s)},
        {"USB\\VID_05E3&PID_0610\\5&1B3E8C2&0&2",
         Paths("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)\0ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS02)\0\0"s)},
        {"USB\\ROOT_HUB30\\4&2E6A1F1&0&0", Paths("PCIROOT(0)#PCI(1400)#USBROOT(0)\0\0"s)},
        {"PCI\\VEN_8086&DEV_A36D&SUBSYS_00000000&REV_10\\3&11583659&0&A0",
         Paths("PCIROOT(0)#PCI(1400)\0ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)\0\0"s)},
        {"ACPI\\PNP0A08\\0", Paths("PCIROOT(0)\0ACPI(_SB_)#ACPI(PCI0)\0\0"s)},
        {"HTREE\\ROOT\\0", {}},
    };
}

const std::string ProgrammingDisk = "USBSTOR\\DISK&VEN_STM&PROD_MICROSD_FLASH&REV_1.00\\0123456789AB&0";
const std::string BootDisk = "USBSTOR\\DISK&VEN_STM&PROD_MICROSD_FLASH&REV_1.00\\7&3A2F55E&0&000000&0";

TEST(UsbLocation, MultiStringValues) {
    EXPECT_EQ(SplitMultiString("A\0B\0\0"s), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(SplitMultiString("A\0B"s), (std::vector<std::string>{"A", "B"}));  // no final NUL
    EXPECT_EQ(SplitMultiString("A\0\0B\0\0"s), (std::vector<std::string>{"A"}));  // an empty string ends it
    EXPECT_TRUE(SplitMultiString(""s).empty());
    EXPECT_TRUE(SplitMultiString("\0\0"s).empty());
}

TEST(UsbLocation, ShortNamesOfPortPaths) {
    EXPECT_EQ(ShortUsbLocation("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)"), "1400-2.3");
    EXPECT_EQ(ShortUsbLocation("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(11)"), "1400-11");
    EXPECT_EQ(ShortUsbLocation("PCIROOT(0)#PCI(1C00)#PCI(0000)#USBROOT(0)#USB(1)#USB(4)#USB(2)"), "1C00.0000-1.4.2");
    EXPECT_EQ(ShortUsbLocation("PCIROOT(1)#PCI(0800)#USBROOT(0)#USB(4)"), "R1:0800-4");
    EXPECT_EQ(ShortUsbLocation("PCIROOT(0)#PCI(1400)#USBROOT(1)#USB(2)"), "1400/1-2");
    // Different ports, different names; what is not a port path stays whole.
    EXPECT_NE(ShortUsbLocation("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)"),
              ShortUsbLocation("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(23)"));
    EXPECT_EQ(ShortUsbLocation("ACPI(_SB_)#ACPI(PCI0)#ACPI(HS02)#USB(3)"), "ACPI(_SB_)#ACPI(PCI0)#ACPI(HS02)#USB(3)");
    EXPECT_EQ(ShortUsbLocation("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#"), "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#");
    EXPECT_EQ(ShortUsbLocation("PCIROOT(0)#PCI(14)#USBROOT(0)#USB(2)"), "PCIROOT(0)#PCI(14)#USBROOT(0)#USB(2)");
    EXPECT_EQ(ShortUsbLocation(""), "");
}

TEST(UsbLocation, TheDeviceAboveTheDiskGivesThePort) {
    EXPECT_EQ(UsbPortPath(RadioOnHubPort(3, "USB\\VID_0483&PID_5720\\0123456789AB", ProgrammingDisk)),
              "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)");
    // A composite device: the interface's path ends in USBMI and is passed over.
    std::vector<DeviceNodeRecord> composite = RadioOnHubPort(1, "USB\\VID_0483&PID_5740\\1", ProgrammingDisk);
    composite.insert(composite.begin() + 1,
                     {"USB\\VID_0483&PID_5740&MI_00\\6&1&0&0000",
                      Paths("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(1)#USBMI(0)\0\0"s)});
    EXPECT_EQ(UsbLocationOfDisk(composite), "1400-2.1");
    // A disk on no USB device (a SATA disk), and a system that keeps no paths (wine).
    EXPECT_EQ(UsbLocationOfDisk({{"SCSI\\DISK&VEN_ATA\\4&1", {}},
                                 {"PCI\\VEN_8086&DEV_A352\\3&1", Paths("PCIROOT(0)#PCI(1702)\0\0"s)}}),
              "");
    EXPECT_EQ(UsbLocationOfDisk({{"USBSTOR\\DISK\\1", {}}, {"USB\\VID_0483&PID_5720\\1", {}}}), "");
    EXPECT_EQ(UsbLocationOfDisk({}), "");
}

TEST(UsbLocation, ARadioRestartingIntoBootModeKeepsItsLocation) {
    const std::string before = UsbLocationOfDisk(RadioOnHubPort(3, "USB\\VID_0483&PID_5720\\0123456789AB", ProgrammingDisk));
    const std::string after = UsbLocationOfDisk(RadioOnHubPort(3, "USB\\VID_0483&PID_5720\\6&2C1A0B4&0&3", BootDisk));
    EXPECT_EQ(before, "1400-2.3");
    EXPECT_EQ(after, before);

    // Three radios on the hub; the one bound at port 3 (E:) restarts and comes back as G:,
    // while the radio at port 4 restarts too and takes E:.
    const RadioDrive bound{"\\\\.\\E:", before, "STM     ", "microSD Flash   "};
    const std::vector<RadioDrive> scan = {
        {"\\\\.\\E:", UsbLocationOfDisk(RadioOnHubPort(4, "USB\\VID_0483&PID_5720\\6&2C1A0B4&0&4", BootDisk)), "", ""},
        {"\\\\.\\F:", UsbLocationOfDisk(RadioOnHubPort(1, "USB\\VID_0483&PID_5720\\AAAA", ProgrammingDisk)), "", ""},
        {"\\\\.\\G:", after, "", ""},
    };
    EXPECT_EQ(FindBoundDrive(scan, bound), 2u);
    EXPECT_EQ(FindNamedDrive(scan, "1400-2.4"), 0u);
    EXPECT_EQ(FindNamedDrive(scan, "\\\\.\\F:"), 1u);
}

TEST(UsbLocation, TwoRadiosTradingLettersAreToldApartByPort) {
    auto at = [](int port, const std::string& serial) {
        return UsbLocationOfDisk(RadioOnHubPort(port, "USB\\VID_0483&PID_5720\\" + serial, ProgrammingDisk));
    };
    const std::vector<RadioDrive> first = {{"\\\\.\\E:", at(2, "A1"), "", ""}, {"\\\\.\\F:", at(3, "B2"), "", ""}};
    // Both restart; they arrive in the other order and Windows hands out the letters anew.
    const std::vector<RadioDrive> second = {{"\\\\.\\E:", at(3, "6&1&0&3"), "", ""}, {"\\\\.\\F:", at(2, "6&1&0&2"), "", ""}};
    EXPECT_EQ(FindBoundDrive(second, first[0]), 1u);
    EXPECT_EQ(FindBoundDrive(second, first[1]), 0u);
    // Followed by letter, as without a location, each run would take the other's radio:
    // with locations known, a letter alone binds nothing.
    RadioDrive byLetter = first[0];
    byLetter.Location.clear();
    EXPECT_FALSE(FindBoundDrive(second, byLetter).has_value());
}

}  // namespace
}  // namespace quenfall

namespace quenfall {
namespace {

TEST(UsbLocation, RadiosWithoutALocationAreNotRunAllAtOnce) {
    const RadioDrive e{"\\\\.\\E:", "", "STM     ", "microSD Flash   "};
    const RadioDrive f{"\\\\.\\F:", "1400-2.3", "STM     ", "microSD Flash   "};
    EXPECT_EQ(WhyRadiosCannotBeToldApart({}), "");
    EXPECT_EQ(WhyRadiosCannotBeToldApart({e}), "");  // one radio: its letter is enough
    EXPECT_EQ(WhyRadiosCannotBeToldApart({f, {"\\\\.\\G:", "1400-2.4", "", ""}}), "");
    const std::string why = WhyRadiosCannotBeToldApart({f, e});
    EXPECT_NE(why.find("\\\\.\\E:"), std::string::npos) << why;
    EXPECT_NE(why.find("cannot be told apart"), std::string::npos) << why;
}

}  // namespace
}  // namespace quenfall
