#include "ui/win32/win32_open_dialog.h"

#include <commdlg.h>

#include <string>

#include "ui/win32/win32_text.h"

namespace quenfall::ui {

std::optional<window::ChosenFile> ShowOpenDialog(HWND owner, std::u16string_view filter) {
    const std::wstring native = NativeFilter(filter);
    // Room for the longest path the wide file APIs take.
    std::wstring file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = native.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    file.resize(file.find(L'\0'));
    return window::ChosenFile{std::filesystem::path(file), FromWide(file)};
}

}  // namespace quenfall::ui
