#pragma once
// The user's language. Every text a person reads is written in English in the source, marked
// for the catalogue, and looked up when it is shown: the English text is the key of its
// translation, and a text the chosen language lacks shows in English, never empty.
//
// Extraction (po/CMakeLists.txt) knows three marks:
//   Tr("...")                         translated where it is shown;
//   TrPlural("1 radio", "{count} radios", n)  the form the language uses for n;
//   Translatable("...")               an English constant, translated later by Tr(constant).
// Only string literals are extracted: a text made by joining pieces is one pattern with
// named fields instead, so a translator sees the whole sentence and may reorder it:
//   Fill(Tr("{done} of {total} radios"), {{"done", "3"}, {"total", "5"}})
//
// The language is chosen once, before any thread starts (UseLanguage); until then, and in
// every test that does not choose one, texts are English.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quenfall::text {

// Marks an English constant for extraction and returns it unchanged.
constexpr std::string_view Translatable(std::string_view english) { return english; }

// The text in the chosen language (UTF-8), or the English one.
std::string Tr(std::string_view english);

// The form for n: English uses singular for n == 1; other languages have their own rules.
std::string TrPlural(std::string_view singular, std::string_view plural, unsigned long long n);

struct Field {
    std::string_view Name;
    std::string Value;
    bool operator==(const Field&) const = default;
};

// Replaces each "{name}" in pattern with its field's value. A name with no field stays as
// it is written, so a slip shows instead of vanishing.
std::string Fill(std::string_view pattern, std::initializer_list<Field> fields);
std::string Fill(std::string_view pattern, const std::vector<Field>& fields);

// A text with its fields, to be shown later: in English where it is kept or read by
// programs (the history, reports, the events stream, JSON), in the user's language where a
// person reads it. Pattern is a Translatable() constant.
struct Message {
    std::string_view Pattern;
    std::vector<Field> Fields;

    std::string English() const;
    std::string Translated() const;
    bool operator==(const Message&) const = default;
};

// Chooses the catalogue for a language code ("de", "pt_BR", ...). An empty code, "C",
// "POSIX", English or a language without a catalogue means English. Returns the code in use
// ("" for English).
std::string UseLanguage(std::string_view code);

// Uses a catalogue given as .po text for the language it is written for (the tests' own
// catalogues; UseLanguage passes a built-in one).
void UseCatalogue(std::string_view language, std::string_view poText);

// The code in use, "" for English.
std::string_view LanguageInUse();

}  // namespace quenfall::text
