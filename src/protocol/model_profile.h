#pragma once
// Radio models differ in the command codes they answer to and in the key that scrambles
// package bodies and request frames. A package names both through its header; this file
// turns those header bytes into codes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quenfall {

// Order within a bank, as the operation numbers run: Block, EnterA, Exit, EnterB.
enum class CommandKind : std::uint8_t { Block = 0, EnterA = 1, Exit = 2, EnterB = 3 };

inline constexpr std::size_t ProfileCount = 14;
inline constexpr std::int8_t NoKey = -1;

struct ModelProfile {
    std::uint8_t CommandPrefix;  // high byte of every request code of the profile
    std::int8_t KeyMode0;        // key table for ScrambleMode 0, or NoKey
    std::int8_t KeyMode1;        // key table for ScrambleMode 1, or NoKey
};

extern const std::array<ModelProfile, ProfileCount> ModelProfiles;

// How to talk to the radio of one package: taken from its header at load time and handed
// to every request builder and poller, so no request ever mixes two packages' codes.
struct ProfileSelection {
    std::uint8_t ProfileIndex = 0;
    std::uint8_t ScrambleMode = 0;    // 0 or 1 pick a key column; 2..255 mean no scrambling
    std::uint8_t CodeBank = 0;        // 0: bank 0, anything else: bank 1
    std::uint8_t RequestVariant = 0;  // 0: EnterA, 1: EnterB, others: no enter code

    friend bool operator==(const ProfileSelection&, const ProfileSelection&) = default;
};

// Two steps, in order: the assignment (codes 2,5,6,7,8,10,11,17 set the index), then the
// acceptance (0 forces index 0; 0, 2, 11 and 17 are accepted). A rejected code leaves the
// index as the assignment left it.
bool SelectProfile(std::uint8_t modelCode, std::uint8_t& profileIndex);

// The model codes SelectProfile accepts, ascending, each with the profile it picks: read
// off SelectProfile itself, so that help texts never list a code the loader refuses.
struct AcceptedModel {
    std::uint8_t ModelCode;
    std::uint8_t ProfileIndex;
};
std::vector<AcceptedModel> AcceptedModels();

std::uint16_t RequestCode(const ProfileSelection& selection, CommandKind kind);
std::uint16_t ResponseCode(const ProfileSelection& selection, CommandKind kind);

// The enter kind a RequestVariant asks for; none for variants other than 0 and 1.
std::optional<CommandKind> EnterKind(std::uint8_t requestVariant);

}  // namespace quenfall
