#pragma once
// One field of a CSV row (RFC 4180) as a spreadsheet reads it back: quoted when it holds a
// comma, a quote or a line break, or begins or ends with a blank; quotes doubled inside.
#include <string>
#include <string_view>

namespace quenfall {

// Control characters never reach a spreadsheet or a terminal as they are: each is written as
// \xHH (the C1 ones as \u00HH), as ShownText (history_listing.h) shows them.
enum class ControlCharacters {
    KeepLineBreaks,  // but tab, CR and LF, which a quoted field holds as part of it
    Escape,          // every one, so that a row stays one line whatever a name holds
};

// Appends text to out as one field. A text a spreadsheet would run as a formula (one that
// begins with =, +, -, @, a tab or a carriage return) is kept as text behind an apostrophe.
void CsvField(std::string& out, std::string_view text, ControlCharacters controls);

}  // namespace quenfall
