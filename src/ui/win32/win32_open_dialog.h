#pragma once
// The package dialog of both Win32 windows: the system's open dialog, owned by the window,
// with the window's one filter, no title and no initial folder.
#include <windows.h>

#include <optional>
#include <string_view>

#include "window/window_face.h"

namespace quenfall::ui {

// Nothing when the user cancels.
std::optional<window::ChosenFile> ShowOpenDialog(HWND owner, std::u16string_view filter);

}  // namespace quenfall::ui
