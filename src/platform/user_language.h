#pragma once
// Chooses the catalogue at start-up, for every program the same way: QUENFALL_LANGUAGE
// first (a shop whose PCs are set up in another language, and the tests), then the system's
// preferred languages.
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "text/embedded_catalogues.h"
#include "text/language_choice.h"
#include "text/translation.h"

namespace quenfall {

inline std::string UseUserLanguage() {
    std::optional<std::string> override;
    if (const char* value = std::getenv("QUENFALL_LANGUAGE")) override = value;
    std::vector<std::string_view> available;
    for (const auto& catalogue : text::EmbeddedCatalogues()) available.push_back(catalogue.Language);
    return text::UseLanguage(text::ChooseLanguage(override, PreferredLanguages(), available));
}

}  // namespace quenfall
