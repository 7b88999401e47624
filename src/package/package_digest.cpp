#include "package/package_digest.h"

#include <string_view>

namespace quenfall {

std::string Sha256Text(std::span<const std::uint8_t> bytes) {
    const std::optional<Sha256Digest> digest = ComputeSha256(bytes);
    if (!digest) return {};
    constexpr std::string_view Digits = "0123456789abcdef";
    std::string text;
    text.reserve(digest->size() * 2);
    for (const std::uint8_t b : *digest) {
        text += Digits[b >> 4];
        text += Digits[b & 0x0F];
    }
    return text;
}

bool IsSha256Text(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

}  // namespace quenfall
