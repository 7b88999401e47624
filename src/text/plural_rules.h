#pragma once
// Which plural form a language uses for a count. The rules are those of the catalogues'
// "Plural-Forms:" headers, written out here rather than evaluated from the header's C
// expression; a test holds each catalogue's header to its rule.
#include <cstddef>
#include <string_view>

namespace quenfall::text {

struct PluralRule {
    std::string_view Language;
    std::string_view Header;  // the "Plural-Forms:" value the catalogue must carry
    size_t (*Form)(unsigned long long n);
};

// The rule of a language code ("de", "pt_BR"); English's for a code it does not know.
const PluralRule& PluralRuleFor(std::string_view language);

}  // namespace quenfall::text
