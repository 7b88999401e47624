// The Linux binding's choice of the radio's drive among the block devices libudev lists.
// Attribute texts come from the kernel and from whatever USB device is plugged in, so the
// records are arbitrary: a record that is not exactly the radio must never be picked, and
// the radios must come out in device-name order.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/drive_selection.h"
#include "protocol/radio_identity.h"
#include "platform/usb_watch_filter.h"

using namespace quenfall;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

// Mostly near-misses of the radio's values, so that the fuzzer spends its time on the
// comparisons that matter; otherwise whatever the input gives.
std::string Field(FuzzedDataProvider& in, std::initializer_list<const char*> likely) {
    const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, likely.size() + 1);
    if (pick < likely.size()) {
        std::string text = likely.begin()[pick];
        if (in.ConsumeBool()) text += in.ConsumeBool() ? "\n" : "\r\n";
        return text;
    }
    return in.ConsumeRandomLengthString(40);
}

std::string Trimmed(const std::string& s) {
    std::size_t n = s.size();
    while (n > 0 && (s[n - 1] == '\n' || s[n - 1] == '\r')) --n;
    return s.substr(0, n);
}

bool ExpectedRadio(const BlockDeviceRecord& r) {
    return !r.DevNode.empty() && r.DevType == "disk" && Trimmed(r.Removable) == "1" &&
           Trimmed(r.Vendor) == RadioVendor && Trimmed(r.Model) == RadioModel;
}

bool SameRecord(const BlockDeviceRecord& a, const BlockDeviceRecord& b) {
    return a.DevNode == b.DevNode && a.SysName == b.SysName && a.DevType == b.DevType &&
           a.Removable == b.Removable && a.Vendor == b.Vendor && a.Model == b.Model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<BlockDeviceRecord> records;
    const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < count && in.remaining_bytes() > 0; ++i) {
        BlockDeviceRecord r;
        r.SysName = Field(in, {"sda", "sdb", "sdz", "sdaa", "sdab", "sr0"});
        r.DevNode = in.ConsumeBool() ? "/dev/" + r.SysName : in.ConsumeRandomLengthString(12);
        r.DevType = Field(in, {"disk", "partition"});
        r.Removable = Field(in, {"1", "0"});
        r.Vendor = Field(in, {"STM     ", "STM", "STM      ", "stm     "});
        r.Model = Field(in, {"microSD Flash   ", "microSD Flash", "microSD Flash    "});
        records.push_back(std::move(r));
    }

    std::vector<std::size_t> expected;
    for (std::size_t i = 0; i < records.size(); ++i) {
        Require(IsRadioDrive(records[i]) == ExpectedRadio(records[i]));
        if (ExpectedRadio(records[i])) expected.push_back(i);
    }
    // Device-name order, shorter names first; equal names keep the order they came in.
    std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
        const std::string& x = records[a].SysName;
        const std::string& y = records[b].SysName;
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    });
    const std::vector<BlockDeviceRecord> chosen = SelectRadioDrives(records);
    Require(chosen.size() == expected.size());
    for (std::size_t i = 0; i < chosen.size(); ++i) Require(SameRecord(chosen[i], records[expected[i]]));

    // The order is strict: never a before b and b before a, never a before itself.
    for (std::size_t i = 0; i < records.size(); ++i) {
        Require(!DeviceNameBefore(records[i].SysName, records[i].SysName));
        for (std::size_t j = 0; j < records.size(); ++j)
            Require(!(DeviceNameBefore(records[i].SysName, records[j].SysName) &&
                      DeviceNameBefore(records[j].SysName, records[i].SysName)));
    }

    // The hotplug filter on whatever is left of the input.
    const std::string subsystem = Field(in, {"usb", "block", "scsi"});
    const std::string devtype = Field(in, {"usb_device", "usb_interface", "disk"});
    const std::string action = Field(in, {"add", "remove", "bind", "unbind", "change"});
    Require(IsUsbDeviceArrivalOrRemoval(subsystem, devtype, action) ==
            (subsystem == "usb" && devtype == "usb_device" && (action == "add" || action == "remove")));
    return 0;
}
