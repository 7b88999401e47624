#pragma once
// Where a radio's disk sits on Windows. Windows names a device's place by its location
// paths (the device property "LocationPaths", a list of strings): for a USB device, the
// host controller's PCI path, its root hub and the port numbers down to the device,
//   "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)"   (root port 2, hub port 3)
// The path belongs to the port, not to the device: a radio that restarts into boot mode is
// a new device, with a new instance id and maybe a new drive letter, at the same path. Pure:
// the Windows binding feeds it what the configuration manager says, tests feed it recorded
// property strings.
#include <string>
#include <string_view>
#include <vector>

namespace quenfall {

// One device node on the way from a disk up to the root: its instance id and its location
// paths as the configuration manager reports them.
struct DeviceNodeRecord {
    std::string InstanceId;  // "USB\VID_0483&PID_5720\5&2C1A0B4&0&3"
    std::vector<std::string> LocationPaths;
};

// The strings of a REG_MULTI_SZ value (each ends with a NUL, an empty one ends the list).
std::vector<std::string> SplitMultiString(std::string_view value);

// The port path of the USB device a disk belongs to, from the disk's node and its ancestors
// (nearest first): the first path, on the first node that has one, that runs from a PCI root
// through a root hub to a USB port ("...#USBROOT(0)#USB(2)#USB(3)"). An interface of a
// composite device ("...#USB(3)#USBMI(0)") is passed over for the device above it. Empty
// when no node has such a path (not a USB disk; or the system, like wine, keeps none).
std::string UsbPortPath(const std::vector<DeviceNodeRecord>& chain);

// A short name for a port path, for lists and for --device:
//   "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)"  -> "1400-2.3"
//   "PCIROOT(0)#PCI(1C00)#PCI(0000)#USBROOT(0)#USB(1)" -> "1C00.0000-1"
// the PCI devices on the way (bridges and controller) joined by dots, a dash, the ports.
// A root other than 0 is written in front ("R1:0800-4"), a root hub other than 0 after the
// controller ("1400/1-2"). Different paths give different names. A path not of this form
// is returned whole; an empty path gives an empty name.
std::string ShortUsbLocation(std::string_view portPath);

// The location of a disk as the link reports it: ShortUsbLocation(UsbPortPath(chain)).
std::string UsbLocationOfDisk(const std::vector<DeviceNodeRecord>& chain);

}  // namespace quenfall
