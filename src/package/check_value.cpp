#include "package/check_value.h"

namespace quenfall {

std::uint32_t ByteSum(std::span<const std::uint8_t> bytes) {
    // Sixteen 16-bit lanes over 4096-byte chunks: each lane takes 256 bytes of at most 255,
    // so it cannot overflow before it is folded. The fixed shape lets the compiler keep the
    // lanes in one vector register.
    const std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    std::uint32_t total = 0;
    std::size_t i = 0;
    for (; i + 4096 <= n; i += 4096) {
        std::uint16_t lanes[16] = {};
        for (std::size_t j = 0; j < 4096; j += 16)
            for (std::size_t k = 0; k < 16; ++k) lanes[k] = static_cast<std::uint16_t>(lanes[k] + p[i + j + k]);
        for (std::uint16_t lane : lanes) total += lane;
    }
    for (; i < n; ++i) total += p[i];
    return total;
}

std::uint16_t CheckValueOfSum(std::uint32_t sum) {
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(sum) / 5);
}

std::uint16_t ComputeCheckValue(std::span<const std::uint8_t> bytesBeforeCheck) {
    return CheckValueOfSum(ByteSum(bytesBeforeCheck));
}

}  // namespace quenfall
