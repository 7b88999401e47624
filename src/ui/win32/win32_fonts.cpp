#include "ui/win32/win32_fonts.h"

#include <algorithm>
#include <string>

#include "ui/win32/win32_text.h"

namespace quenfall::ui {
namespace {

bool FaceInstalled(HDC dc, std::u16string_view face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    const std::wstring name = ToWide(face.substr(0, LF_FACESIZE - 1));
    std::copy(name.begin(), name.end(), wanted.lfFaceName);
    bool found = false;
    EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

}  // namespace

int WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : window::DesignDpi;
}

HFONT FontCache::Get(const window::FontSpec& spec, int dpi) {
    for (std::size_t i = 0; i < specs_.size(); ++i) {
        if (specs_[i] == &spec) return fonts_[i];
    }
    HDC dc = GetDC(window_);
    std::size_t chosen = 0;
    while (chosen + 1 < spec.Faces.size() && !FaceInstalled(dc, spec.Faces[chosen])) ++chosen;
    ReleaseDC(window_, dc);
    // The layout's character set goes with the layout's face; a stand-in face is asked for
    // by its name alone, or the font mapper would pick any face of that character set.
    const BYTE charset = chosen == 0 ? static_cast<BYTE>(spec.CharacterSet) : static_cast<BYTE>(DEFAULT_CHARSET);
    HFONT font = CreateFontW(-window::Scaled(spec.PixelHeight, dpi), 0, 0, 0, spec.Bold ? FW_BOLD : FW_NORMAL, FALSE,
                             spec.Underline ? TRUE : FALSE, FALSE, charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, ToWide(spec.Faces[chosen]).c_str());
    for (std::size_t i = 0; i < specs_.size(); ++i) {
        if (specs_[i] == nullptr) {
            specs_[i] = &spec;
            fonts_[i] = font;
            break;
        }
    }
    return font;
}

void FontCache::Clear() {
    for (HFONT& font : fonts_) {
        if (font != nullptr) DeleteObject(font);
        font = nullptr;
    }
    specs_.fill(nullptr);
}

}  // namespace quenfall::ui
