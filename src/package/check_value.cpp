#include "package/check_value.h"

namespace quenfall {

std::uint16_t ComputeCheckValue(std::span<const std::uint8_t> bytesBeforeCheck) {
    std::uint32_t sum = 0;  // a 10 MiB file of 0xFF sums to under 2^32, so wrap once at the end
    for (std::uint8_t b : bytesBeforeCheck) sum += b;
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(sum) / 5);
}

}  // namespace quenfall
