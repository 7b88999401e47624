#include "platform/removable_disk_names.h"

namespace quenfall {

std::string KernelDiskName(std::size_t index) {
    std::string letters;
    std::size_t n = index + 1;
    while (n > 0) {
        --n;
        letters.insert(letters.begin(), static_cast<char>('a' + n % 26));
        n /= 26;
    }
    return "/dev/sd" + letters;
}

std::string DriveLetterName(std::size_t index) {
    constexpr std::size_t Letters = 'Z' - 'E' + 1;
    if (index < Letters) return std::string("\\\\.\\") + static_cast<char>('E' + index) + ':';
    return "\\\\.\\PhysicalDrive" + std::to_string(index + 1);
}

}  // namespace quenfall
