#pragma once
// One field of a CSV row (RFC 4180) as a spreadsheet reads it back: quoted when it holds a
// comma, a quote or a line break, or begins or ends with a blank; quotes doubled inside.
#include <string>
#include <string_view>

namespace quenfall {

enum class ControlCharacters {
    Keep,    // as they are (a line break inside a quoted field is part of the field)
    Escape,  // each as \xHH, so that a row stays one line whatever a radio or a file name holds
};

// Appends text to out as one field. A text a spreadsheet would run as a formula (one that
// begins with =, +, -, @, a tab or a carriage return) is kept as text behind an apostrophe.
void CsvField(std::string& out, std::string_view text, ControlCharacters controls = ControlCharacters::Keep);

}  // namespace quenfall
