#include "ui/win32/win32_text.h"

#include <windows.h>

#include <algorithm>

#include "window/window_texts.h"

namespace quenfall::ui {

std::wstring ToWide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::u16string FromWide(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

std::wstring LabelLines(std::u16string_view text) {
    std::wstring lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        lines += static_cast<wchar_t>(text[i]);
        if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')) lines += L'\n';
    }
    return lines;
}

std::wstring NativeFilter(std::u16string_view filter) {
    std::wstring native = ToWide(filter);
    std::replace(native.begin(), native.end(), L'|', L'\0');
    native += L'\0';
    native += L'\0';
    return native;
}

std::u16string ProgramTitle() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return window::ApplicationTitle(FromWide(name), [](std::u16string_view text) {
        std::wstring lower = ToWide(text);
        if (!lower.empty()) CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
        return FromWide(lower);
    });
}

}  // namespace quenfall::ui
