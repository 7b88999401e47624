#include "ui/win32/win32_open_dialog.h"

#include <commdlg.h>

#include <string>

#include "ui/win32/win32_text.h"

namespace quenfall::ui {

namespace {

// Room for the longest path the wide file APIs take.
constexpr std::size_t LongestPath = 32768;

}  // namespace

std::optional<window::ChosenFile> ShowSaveDialog(HWND owner, std::u16string_view filter, std::u16string_view suggested) {
    const std::wstring native = NativeFilter(filter);
    std::wstring file = ToWide(suggested);
    file.resize(LongestPath, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = native.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog)) return std::nullopt;
    file.resize(file.find(L'\0'));
    return window::ChosenFile{std::filesystem::path(file), FromWide(file)};
}

std::optional<window::ChosenFile> ShowOpenDialog(HWND owner, std::u16string_view filter) {
    const std::wstring native = NativeFilter(filter);
    std::wstring file(LongestPath, L'\0');
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
