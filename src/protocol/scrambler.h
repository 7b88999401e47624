#pragma once
// XOR scrambling of package bodies and request frames. The key position restarts at 0 on
// the first byte handed in, so a body is keyed from file offset 128 and a frame from its
// 0xA1 byte. Applying it twice restores the buffer.
#include <cstdint>
#include <span>

#include "protocol/key_tables.h"
#include "protocol/model_profile.h"

namespace quenfall {

// The key of a profile for a scramble mode, or nullptr where the buffers go unchanged.
const KeyTable* SelectKeyTable(std::uint8_t scrambleMode, std::uint8_t profileIndex);

void Scrambler(const KeyTable* key, std::span<std::uint8_t> buffer);
void Scrambler(const ProfileSelection& selection, std::span<std::uint8_t> buffer);

}  // namespace quenfall
