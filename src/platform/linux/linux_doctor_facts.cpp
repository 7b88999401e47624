// The doctor's facts on Linux: libudev for the disks and the rule's tags, sysfs for the sg
// driver, the helper's own greeting for its capability, /proc for the user namespace.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"
#include "platform/linux/linux_doctor_checks.h"
#include "platform/drive_location.h"
#include "platform/linux/drive_selection.h"
#include "helper/client/linux/helper_process.h"
#include "platform/linux/linux_device_link.h"
#include "platform/linux/udev_devices.h"
#include "helper/server/linux/user_namespace.h"
#include "protocol/radio_identity.h"
#include "protocol/key_tables.h"

namespace quenfall {

namespace {

constexpr std::string_view RuleName = "70-quenfall-radio.rules";
// Where udev reads rules from, in its own order of precedence.
constexpr std::array<std::string_view, 5> RuleFolders = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                                          "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                                          "/lib/udev/rules.d"};

bool MayOpen(const std::string& node) {
    return !node.empty() && ::access(node.c_str(), R_OK | W_OK) == 0;
}

// The generic node of the SCSI device, and whether udev tagged it.
void AddGenericNode(udev_device* scsi, DiskFacts& disk) {
    if (const UdevPtr<udev_device> generic = GenericDeviceOf(scsi)) {
        disk.GenericNode = udev_device_get_devnode(generic.get());
        disk.RuleTaggedGeneric = udev_device_has_tag(generic.get(), "uaccess") > 0;
        disk.MayOpenGeneric = MayOpen(disk.GenericNode);
    }
}

DiskFacts FactsOf(udev_device* device) {
    DiskFacts disk;
    disk.Node = UdevText(udev_device_get_devnode(device));
    disk.Partition = UdevText(udev_device_get_devtype(device)) == "partition";
    udev_device* whole = disk.Partition ? udev_device_get_parent_with_subsystem_devtype(device, "block", "disk") : device;
    disk.Removable = whole && std::string(WithoutLineEnd(UdevText(udev_device_get_sysattr_value(whole, "removable")))) == "1";
    disk.Location = LocationFromDevPath(UdevText(udev_device_get_devpath(device)));
    disk.OnUsb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device") != nullptr;
    if (udev_device* scsi = udev_device_get_parent_with_subsystem_devtype(device, "scsi", "scsi_device")) {
        disk.Vendor = std::string(WithoutLineEnd(UdevText(udev_device_get_sysattr_value(scsi, "vendor"))));
        disk.Model = std::string(WithoutLineEnd(UdevText(udev_device_get_sysattr_value(scsi, "model"))));
        if (!disk.Partition) AddGenericNode(scsi, disk);
    } else {
        disk.CarriesScsiIdentity = false;
    }
    disk.RuleTaggedDisk = udev_device_has_tag(device, "uaccess") > 0;
    disk.MayOpenDisk = MayOpen(disk.Node);
    return disk;
}

// Every whole disk and partition on USB, and any other disk that carries the radio's
// identity (to say why it is not taken).
std::vector<DiskFacts> ListDisks() {
    std::vector<DiskFacts> disks;
    ForEachBlockDevice(nullptr, [&disks](udev_device* device) {
        if (!udev_device_get_devnode(device)) return;
        DiskFacts disk = FactsOf(device);
        if (disk.OnUsb || IsRadioIdentity(disk.Vendor, disk.Model)) disks.push_back(std::move(disk));
    });
    std::sort(disks.begin(), disks.end(),
              [](const DiskFacts& a, const DiskFacts& b) { return DeviceNameBefore(a.Node, b.Node); });
    return disks;
}

}  // namespace

DoctorFacts GatherDoctorFacts() {
    DoctorFacts facts;
    facts.KeySetName = std::string(KeySetName());
    facts.KeySetFingerprint = std::string(KeySetFingerprint());
    facts.HelperPath = RadioHelperPath();
    std::error_code error;
    facts.HelperFound = std::filesystem::is_regular_file(facts.HelperPath, error);
    if (facts.HelperFound) {
        // Its greeting says whether it holds the capability; it is sent no request.
        const helper::HelperStart started = helper::StartHelperProcess(facts.HelperPath);
        facts.HelperStarted = started.Connection != nullptr;
        facts.HelperProblem = started.Problem;
        facts.HelperHasRawIo = facts.HelperStarted && started.Greeting.HasRawIo;
    }
    for (std::string_view folder : RuleFolders) {
        const std::filesystem::path rule = std::filesystem::path(folder) / RuleName;
        if (std::filesystem::exists(rule, error)) {
            facts.RulePath = rule.string();
            break;
        }
    }
    facts.SgLoaded = std::filesystem::exists("/sys/module/sg", error) ||
                     std::filesystem::exists("/sys/class/scsi_generic", error);
    if (!helper::InInitialUserNamespace()) {
        facts.CommandsRefused =
            "this program runs in a user namespace of its own, as in a container, where the radio helper opens no "
            "radio and the raw I/O capability does not count";
    }
    facts.Disks = ListDisks();
    return facts;
}

const SystemChecks& PlatformDoctorChecks() { return LinuxDoctorChecks(); }

}  // namespace quenfall
