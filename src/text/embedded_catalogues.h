#pragma once
// The catalogues built into the program (one executable stays one file), made by the build
// from po/*.po.
#include <span>
#include <string_view>

namespace quenfall::text {

struct EmbeddedCatalogue {
    std::string_view Language;  // the file's name without ".po": "de", "pt_BR"
    std::string_view Text;      // the .po file as written
};

std::span<const EmbeddedCatalogue> EmbeddedCatalogues();

}  // namespace quenfall::text
