#include "platform/drive_location.h"

#include <algorithm>

namespace quenfall {

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "1-1.2": a bus number, a dash, then port numbers joined by dots. Root hubs ("usb1") and
// interfaces ("1-1.2:1.0") are not USB device names.
bool IsUsbDeviceName(std::string_view name) {
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || !AllDigits(name.substr(0, dash))) return false;
    std::string_view ports = name.substr(dash + 1);
    while (true) {
        const std::size_t dot = ports.find('.');
        if (!AllDigits(ports.substr(0, dot))) return false;
        if (dot == std::string_view::npos) return true;
        ports.remove_prefix(dot + 1);
    }
}

// The logical unit of a SCSI device name "host:channel:target:lun".
std::optional<std::string_view> ScsiLun(std::string_view name) {
    std::string_view rest = name;
    for (int i = 0; i < 3; ++i) {
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos || !AllDigits(rest.substr(0, colon))) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
    if (!AllDigits(rest)) return std::nullopt;
    return rest;
}

std::optional<std::size_t> OnlyMatch(const std::vector<RadioDrive>& scan, auto matches) {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < scan.size(); ++i) {
        if (!matches(scan[i])) continue;
        if (found) return std::nullopt;
        found = i;
    }
    return found;
}

}  // namespace

std::string LocationFromDevPath(std::string_view devpath) {
    std::string_view usbDevice;
    std::string_view lun;
    std::string_view rest = devpath;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        // The last USB device on the way down: a radio behind hubs hangs from the deepest.
        if (IsUsbDeviceName(part)) usbDevice = part;
        if (const auto l = ScsiLun(part)) lun = *l;
    }
    if (usbDevice.empty()) return std::string(devpath);
    std::string location(usbDevice);
    if (!lun.empty() && lun.find_first_not_of('0') != std::string_view::npos) {
        location += "/lun";
        location += lun;
    }
    return location;
}

std::optional<std::size_t> FindBoundDrive(const std::vector<RadioDrive>& scan, const RadioDrive& bound) {
    if (!bound.Location.empty()) {
        return OnlyMatch(scan, [&](const RadioDrive& d) { return d.Location == bound.Location; });
    }
    if (bound.Node.empty()) return std::nullopt;
    return OnlyMatch(scan, [&](const RadioDrive& d) { return d.Location.empty() && d.Node == bound.Node; });
}

std::optional<std::size_t> FindNamedDrive(const std::vector<RadioDrive>& scan, std::string_view name) {
    if (name.empty()) return std::nullopt;
    return OnlyMatch(scan, [&](const RadioDrive& d) { return d.Node == name || d.Location == name; });
}

std::string WhyRadiosCannotBeToldApart(const std::vector<RadioDrive>& scan) {
    if (scan.size() < 2) return {};
    for (const RadioDrive& d : scan) {
        if (d.Location.empty()) {
            return "the USB port of " + d.Node + " could not be found, so the " + std::to_string(scan.size()) +
                   " radios cannot be told apart when they restart (they may trade drive letters). "
                   "Upgrade them one at a time with --device, or connect only one radio.";
        }
    }
    return {};
}

}  // namespace quenfall
