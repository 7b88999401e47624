#include "platform/windows/usb_location_path.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace quenfall {

namespace {

struct Element {
    std::string_view Name;
    std::string_view Value;
};

// "USB(3)" -> {"USB", "3"}; nothing for anything else.
std::optional<Element> ParseElement(std::string_view text) {
    const std::size_t open = text.find('(');
    if (open == std::string_view::npos || open == 0 || text.size() < open + 3 || text.back() != ')') {
        return std::nullopt;
    }
    const std::string_view value = text.substr(open + 1, text.size() - open - 2);
    if (value.empty() || value.find_first_of("()#") != std::string_view::npos) return std::nullopt;
    return Element{text.substr(0, open), value};
}

std::vector<Element> ParsePath(std::string_view path) {
    std::vector<Element> elements;
    while (!path.empty()) {
        const std::size_t hash = path.find('#');
        const auto element = ParseElement(path.substr(0, hash));
        if (!element) return {};
        elements.push_back(*element);
        if (hash == std::string_view::npos) break;
        path.remove_prefix(hash + 1);
        if (path.empty()) return {};  // a trailing '#'
    }
    return elements;
}

bool IsNumber(std::string_view text) {
    return !text.empty() && text.size() <= 4 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsPciAddress(std::string_view text) {
    return text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

bool IsZero(std::string_view number) { return number.find_first_not_of('0') == std::string_view::npos; }

// PCIROOT(r), one or more PCI(dddd), USBROOT(u), one or more USB(p): the elements' values
// in that order, or nothing.
struct PortPath {
    std::string_view Root;
    std::vector<std::string_view> Pci;
    std::string_view RootHub;
    std::vector<std::string_view> Ports;
};

std::optional<PortPath> ParsePortPath(std::string_view path) {
    const std::vector<Element> elements = ParsePath(path);
    std::size_t i = 0;
    PortPath port;
    if (elements.empty() || elements[i].Name != "PCIROOT" || !IsNumber(elements[i].Value)) return std::nullopt;
    port.Root = elements[i++].Value;
    while (i < elements.size() && elements[i].Name == "PCI") {
        if (!IsPciAddress(elements[i].Value)) return std::nullopt;
        port.Pci.push_back(elements[i++].Value);
    }
    if (port.Pci.empty() || i == elements.size() || elements[i].Name != "USBROOT" ||
        !IsNumber(elements[i].Value)) {
        return std::nullopt;
    }
    port.RootHub = elements[i++].Value;
    while (i < elements.size() && elements[i].Name == "USB") {
        if (!IsNumber(elements[i].Value)) return std::nullopt;
        port.Ports.push_back(elements[i++].Value);
    }
    if (port.Ports.empty() || i != elements.size()) return std::nullopt;
    return port;
}

std::string Joined(const std::vector<std::string_view>& parts, char between) {
    std::string text;
    for (std::string_view part : parts) {
        if (!text.empty()) text += between;
        text += part;
    }
    return text;
}

}  // namespace

std::vector<std::string> SplitMultiString(std::string_view value) {
    std::vector<std::string> strings;
    while (!value.empty()) {
        const std::size_t end = value.find('\0');
        const std::string_view one = value.substr(0, end);
        if (one.empty()) break;
        strings.emplace_back(one);
        if (end == std::string_view::npos) break;
        value.remove_prefix(end + 1);
    }
    return strings;
}

std::string UsbPortPath(const std::vector<DeviceNodeRecord>& chain) {
    for (const DeviceNodeRecord& node : chain) {
        for (const std::string& path : node.LocationPaths) {
            if (ParsePortPath(path)) return path;
        }
    }
    return {};
}

std::string ShortUsbLocation(std::string_view portPath) {
    const auto port = ParsePortPath(portPath);
    if (!port) return std::string(portPath);
    std::string name;
    if (!IsZero(port->Root)) {
        name += 'R';
        name += port->Root;
        name += ':';
    }
    name += Joined(port->Pci, '.');
    if (!IsZero(port->RootHub)) {
        name += '/';
        name += port->RootHub;
    }
    name += '-';
    name += Joined(port->Ports, '.');
    return name;
}

std::string UsbLocationOfDisk(const std::vector<DeviceNodeRecord>& chain) {
    return ShortUsbLocation(UsbPortPath(chain));
}

}  // namespace quenfall
