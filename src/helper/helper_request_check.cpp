#include "helper/helper_request_check.h"

#include "protocol/command_frame.h"

namespace quenfall::helper {

namespace {

constexpr std::size_t MaxNodeLength = 255;
constexpr std::size_t ShortestEnterFrame = FrameOverhead + 2;  // count and end mark
constexpr std::size_t LongestEnterFrame = ShortestEnterFrame + MaxSections;

bool IsFrameLength(std::size_t n) {
    return n == ExitFrameLength || (n >= ShortestEnterFrame && n <= LongestEnterFrame) ||
           n == BlockFrameLength;
}

bool IsPlainDevicePath(const std::string& node) {
    if (node.size() > MaxNodeLength || node.rfind("/dev/", 0) != 0) return false;
    if (node.find('\0') != std::string::npos) return false;
    std::size_t start = 1;
    while (start <= node.size()) {
        std::size_t end = node.find('/', start);
        if (end == std::string::npos) end = node.size();
        const std::string_view part(node.data() + start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

bool IsDriveLetterPath(const std::string& node) {
    return node.size() == 6 && node.compare(0, 4, "\\\\.\\") == 0 && node[4] >= 'A' && node[4] <= 'Z' &&
           node[5] == ':';
}

}  // namespace

std::string WhyRequestRefused(const Request& request, bool nodeOpen, NodeNaming naming) {
    switch (request.Type) {
        case RequestType::Open:
            if (naming == NodeNaming::DriveLetter) {
                if (!IsDriveLetterPath(request.Node)) return "not a drive letter's volume (\\\\.\\X:)";
                return {};
            }
            if (nodeOpen) return "a device is already open";
            if (!IsPlainDevicePath(request.Node)) return "not a device path under /dev/";
            return {};
        case RequestType::Write:
            if (!nodeOpen) return "no device is open";
            if (!IsFrameLength(request.Data.size())) {
                return "a write of " + std::to_string(request.Data.size()) +
                       " bytes is not a request frame";
            }
            return {};
        case RequestType::Read:
            if (!nodeOpen) return "no device is open";
            if (request.ReadLength == 0 || request.ReadLength > MaxAnswerLength) {
                return "a read of " + std::to_string(request.ReadLength) + " bytes is out of range";
            }
            return {};
        case RequestType::Channel:  // the Windows helper's first connection answers it itself
        case RequestType::Malformed: break;
    }
    return "not a request the radio helper knows";
}

}  // namespace quenfall::helper
