#pragma once
// The storage identity the radio presents in programming mode: the blank-padded vendor and
// product fields of its SCSI INQUIRY data. The blanks are part of the identity; a drive is
// the radio only when both texts match byte for byte.
#include <string_view>

namespace quenfall {

inline constexpr std::string_view RadioVendor = "STM     ";          // 8 bytes
inline constexpr std::string_view RadioModel = "microSD Flash   ";   // 16 bytes

static_assert(RadioVendor.size() == 8 && RadioModel.size() == 16);

constexpr bool IsRadioIdentity(std::string_view vendor, std::string_view model) {
    return vendor == RadioVendor && model == RadioModel;
}

}  // namespace quenfall
