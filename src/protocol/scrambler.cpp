#include "protocol/scrambler.h"

#include <cstring>

namespace quenfall {

const KeyTable* SelectKeyTable(std::uint8_t scrambleMode, std::uint8_t profileIndex) {
    if (scrambleMode > 1 || profileIndex >= ProfileCount) return nullptr;
    const ModelProfile& profile = ModelProfiles[profileIndex];
    const std::int8_t table = scrambleMode == 0 ? profile.KeyMode0 : profile.KeyMode1;
    return table == NoKey ? nullptr : &KeyTables()[static_cast<std::size_t>(table)];
}

void Scrambler(const KeyTable* key, std::span<std::uint8_t> buffer) {
    if (key == nullptr) return;
    // Whole 256-byte strides, eight bytes at a time: the key repeats every stride, and a
    // local copy of it cannot alias the buffer, so the compiler keeps it in registers.
    std::uint64_t words[32];
    std::memcpy(words, key->data(), sizeof words);
    std::uint8_t* p = buffer.data();
    std::size_t i = 0;
    for (; i + 256 <= buffer.size(); i += 256) {
        for (std::size_t w = 0; w < 32; ++w) {
            std::uint64_t v;
            std::memcpy(&v, p + i + 8 * w, 8);
            v ^= words[w];
            std::memcpy(p + i + 8 * w, &v, 8);
        }
    }
    for (std::size_t j = 0; i + j < buffer.size(); ++j) p[i + j] ^= (*key)[j];
}

void Scrambler(const ProfileSelection& selection, std::span<std::uint8_t> buffer) {
    Scrambler(SelectKeyTable(selection.ScrambleMode, selection.ProfileIndex), buffer);
}

}  // namespace quenfall
