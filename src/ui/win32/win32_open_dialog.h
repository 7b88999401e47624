#pragma once
// The package dialog of both Win32 windows: the system's open dialog, owned by the window,
// with the window's one filter, no title and no initial folder; and the shop window's save
// dialog for its record.
#include <windows.h>

#include <optional>
#include <string_view>

#include "window/window_face.h"

namespace quenfall::ui {

// Nothing when the user cancels.
std::optional<window::ChosenFile> ShowOpenDialog(HWND owner, std::u16string_view filter);
// With a suggested file name; the dialog asks before an existing file is replaced, and adds
// the filter's extension to a name typed without one.
std::optional<window::ChosenFile> ShowSaveDialog(HWND owner, std::u16string_view filter, std::u16string_view suggested);

}  // namespace quenfall::ui
