#pragma once
// A gettext catalogue (.po) as translators write it, read by our own code so that a language
// works on a system that has no locale for it.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quenfall::text {

struct PoCatalogue {
    // The English text (for a plural, its singular) to its forms; a message with no
    // translation, or one marked fuzzy, is left out, so the English shows.
    std::map<std::string, std::vector<std::string>, std::less<>> Messages;
    // The header's "Plural-Forms:" value, as written.
    std::string PluralForms;
};

struct PoMessage {
    std::string Context;
    std::string Id;
    std::string IdPlural;
    std::vector<std::string> Forms;
    bool Fuzzy = false;
};

// Every entry of a .po file in order, the header (empty Id) included. Lines it cannot read
// are passed over: a catalogue is checked by msgfmt and by the tests before it is built in.
std::vector<PoMessage> ReadPoMessages(std::string_view text);

PoCatalogue ParsePo(std::string_view text);

// The "{name}" fields of a text, in order of appearance, each once.
std::vector<std::string> FieldNames(std::string_view text);

}  // namespace quenfall::text
