#include "protocol/model_profile.h"

namespace quenfall {

const std::array<ModelProfile, ProfileCount> ModelProfiles = {{
    {0x00, 0, 11},         // 0: model codes 0 and 2
    {0x30, 1, NoKey},      // 1: model code 5 (never accepted)
    {0x31, 2, NoKey},      // 2: model code 6 (never accepted)
    {0x32, 3, NoKey},      // 3: model code 7 (never accepted)
    {0x33, 4, NoKey},      // 4: model code 8 (never accepted)
    {0x0F, 5, NoKey},      // 5
    {0x34, NoKey, 6},      // 6: model code 10 (never accepted)
    {0x35, 7, NoKey},      // 7
    {0x36, 8, NoKey},      // 8
    {0x37, 9, NoKey},      // 9
    {0x38, 10, NoKey},     // 10
    {0x01, 0, NoKey},      // 11: model code 11
    {0x02, NoKey, 6},      // 12: model code 17
    {0x39, NoKey, NoKey},  // 13
}};

bool SelectProfile(std::uint8_t modelCode, std::uint8_t& profileIndex) {
    switch (modelCode) {
        case 2: profileIndex = 0; break;
        case 5: profileIndex = 1; break;
        case 6: profileIndex = 2; break;
        case 7: profileIndex = 3; break;
        case 8: profileIndex = 4; break;
        case 10: profileIndex = 6; break;
        case 11: profileIndex = 11; break;
        case 17: profileIndex = 12; break;
        default: break;
    }
    switch (modelCode) {
        case 0: profileIndex = 0; return true;
        case 2:
        case 11:
        case 17: return true;
        default: return false;
    }
}

std::vector<AcceptedModel> AcceptedModels() {
    std::vector<AcceptedModel> accepted;
    for (unsigned code = 0; code <= 0xFF; ++code) {
        std::uint8_t index = 0;
        if (SelectProfile(static_cast<std::uint8_t>(code), index))
            accepted.push_back({static_cast<std::uint8_t>(code), index});
    }
    return accepted;
}

namespace {
std::uint8_t OperationNumber(std::uint8_t codeBank, CommandKind kind) {
    const std::uint8_t base = codeBank == 0 ? 0x42 : 0x48;
    return static_cast<std::uint8_t>(base + static_cast<std::uint8_t>(kind));
}
}  // namespace

std::uint16_t RequestCode(const ProfileSelection& selection, CommandKind kind) {
    const std::uint8_t prefix = ModelProfiles.at(selection.ProfileIndex).CommandPrefix;
    return static_cast<std::uint16_t>(prefix << 8 | OperationNumber(selection.CodeBank, kind));
}

std::uint16_t ResponseCode(const ProfileSelection& selection, CommandKind kind) {
    return static_cast<std::uint16_t>(RequestCode(selection, kind) | 0x8000);
}

std::optional<CommandKind> EnterKind(std::uint8_t requestVariant) {
    if (requestVariant == 0) return CommandKind::EnterA;
    if (requestVariant == 1) return CommandKind::EnterB;
    return std::nullopt;
}

}  // namespace quenfall
