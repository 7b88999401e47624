#include "text/translation.h"

#include <memory>

#include "text/embedded_catalogues.h"
#include "text/plural_rules.h"
#include "text/po_catalogue.h"

namespace quenfall::text {

namespace {

struct Chosen {
    std::string Language;
    PoCatalogue Catalogue;
};

// Set once at start-up, before threads; read-only afterwards.
std::unique_ptr<Chosen>& InUse() {
    static std::unique_ptr<Chosen> chosen;
    return chosen;
}

const std::vector<std::string>* Lookup(std::string_view english) {
    const auto& chosen = InUse();
    if (!chosen) return nullptr;
    auto found = chosen->Catalogue.Messages.find(english);
    return found == chosen->Catalogue.Messages.end() ? nullptr : &found->second;
}

}  // namespace

std::string Tr(std::string_view english) {
    const auto* forms = Lookup(english);
    return forms == nullptr ? std::string(english) : (*forms)[0];
}

std::string TrPlural(std::string_view singular, std::string_view plural, unsigned long long n) {
    const auto* forms = Lookup(singular);
    if (forms == nullptr) return std::string(n == 1 ? singular : plural);
    size_t form = PluralRuleFor(InUse()->Language).Form(n);
    return form < forms->size() ? (*forms)[form] : std::string(n == 1 ? singular : plural);
}

namespace {

template <typename Fields>
std::string FillFrom(std::string_view pattern, const Fields& fields) {
    std::string out;
    out.reserve(pattern.size() + 16);
    size_t at = 0;
    while (at < pattern.size()) {
        size_t open = pattern.find('{', at);
        if (open == std::string_view::npos) break;
        size_t close = pattern.find('}', open + 1);
        if (close == std::string_view::npos) break;
        std::string_view name = pattern.substr(open + 1, close - open - 1);
        const Field* field = nullptr;
        for (const Field& candidate : fields) {
            if (candidate.Name == name) field = &candidate;
        }
        out.append(pattern.substr(at, open - at));
        if (field != nullptr) {
            out += field->Value;
            at = close + 1;
        } else {
            out += '{';
            at = open + 1;
        }
    }
    out.append(pattern.substr(at));
    return out;
}

}  // namespace

std::string Fill(std::string_view pattern, std::initializer_list<Field> fields) {
    return FillFrom(pattern, fields);
}

std::string Fill(std::string_view pattern, const std::vector<Field>& fields) {
    return FillFrom(pattern, fields);
}

std::string Message::English() const { return Fill(Pattern, Fields); }

std::string Message::Translated() const { return Fill(Tr(Pattern), Fields); }

void UseCatalogue(std::string_view language, std::string_view poText) {
    InUse() = std::make_unique<Chosen>(Chosen{std::string(language), ParsePo(poText)});
}

std::string UseLanguage(std::string_view code) {
    InUse().reset();
    for (const EmbeddedCatalogue& embedded : EmbeddedCatalogues()) {
        if (embedded.Language == code) {
            UseCatalogue(code, embedded.Text);
            return std::string(code);
        }
    }
    return {};
}

std::string_view LanguageInUse() {
    return InUse() ? std::string_view(InUse()->Language) : std::string_view{};
}

}  // namespace quenfall::text
