#pragma once
// The sizes of one vendor command's exchange, as the sequencer, the channels and the radio
// helper's protocol all size their buffers. Constants and the standard library only: the
// helper's protocol takes them without linking anything else of the project.
#include <cstddef>

namespace quenfall {

// The longest read a channel is asked for: the sequencer's response buffer.
inline constexpr std::size_t ResponseBufferSize = 4096;
// The most sense data a command's outcome keeps.
inline constexpr std::size_t MaxSenseLength = 32;

}  // namespace quenfall
