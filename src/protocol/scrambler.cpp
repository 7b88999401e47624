#include "protocol/scrambler.h"

#include <algorithm>

namespace quenfall {

const KeyTable* SelectKeyTable(std::uint8_t scrambleMode, std::uint8_t profileIndex) {
    if (scrambleMode > 1 || profileIndex >= ProfileCount) return nullptr;
    const ModelProfile& profile = ModelProfiles[profileIndex];
    const std::int8_t table = scrambleMode == 0 ? profile.KeyMode0 : profile.KeyMode1;
    return table == NoKey ? nullptr : &KeyTables()[static_cast<std::size_t>(table)];
}

void Scrambler(const KeyTable* key, std::span<std::uint8_t> buffer) {
    if (key == nullptr) return;
    // Whole 256-byte strides keep the inner loop free of the modulo, so it vectorises.
    std::size_t i = 0;
    for (; i + 256 <= buffer.size(); i += 256)
        for (std::size_t j = 0; j < 256; ++j) buffer[i + j] ^= (*key)[j];
    for (std::size_t j = 0; i + j < buffer.size(); ++j) buffer[i + j] ^= (*key)[j];
}

void Scrambler(const ProfileSelection& selection, std::span<std::uint8_t> buffer) {
    Scrambler(SelectKeyTable(selection.ScrambleMode, selection.ProfileIndex), buffer);
}

}  // namespace quenfall
