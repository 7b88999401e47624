#pragma once
// The Win32 face's text conversions: the window's UTF-16 as the wide strings of the Windows
// API (the same code units), a label's line breaks as DrawText wants them, the package
// filter as the open dialog wants it, and the application title from the executable's name.
#include <string>
#include <string_view>

namespace quenfall::ui {

std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

// A label breaks lines only where its text holds one; a carriage return alone is one.
std::wstring LabelLines(std::u16string_view text);

// "description|patterns|..." as the open dialog wants it: pairs of NUL-ended strings,
// ended by one more NUL.
std::wstring NativeFilter(std::u16string_view filter);

// The application title: the executable's file name up to its first '.', the later
// characters in lower case.
std::u16string ProgramTitle();

}  // namespace quenfall::ui
