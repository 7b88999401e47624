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

HFONT CreateLayoutFont(HDC dc, const window::FontSpec& spec, int devicePixels) {
    std::size_t chosen = 0;
    while (chosen + 1 < spec.Faces.size() && !FaceInstalled(dc, spec.Faces[chosen])) ++chosen;
    // The layout's character set goes with the layout's face; a stand-in face is asked for
    // by its name alone, or the font mapper would pick any face of that character set.
    const BYTE charset = chosen == 0 ? static_cast<BYTE>(spec.CharacterSet) : static_cast<BYTE>(DEFAULT_CHARSET);
    return CreateFontW(-devicePixels, 0, 0, 0, spec.Bold ? FW_BOLD : FW_NORMAL, FALSE, spec.Underline ? TRUE : FALSE,
                       FALSE, charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, ToWide(spec.Faces[chosen]).c_str());
}

window::TextExtent MeasureGdiText(HDC dc, const window::ControlSpec& control, std::u16string_view text,
                                  int devicePixels, int dpi) {
    HFONT font = CreateLayoutFont(dc, *control.Font, devicePixels);
    HGDIOBJ old = SelectObject(dc, font);
    window::TextExtent extent;
    if (control.Kind == window::ControlKind::PushButton) {
        // A push button centres its one line inside its 2-pixel edge and the focus frame
        // drawn a pixel inside that: 3 pixels a side at 96 dpi.
        const std::wstring line = ToWide(text);
        SIZE size{};
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        const int edges = 2 * window::Scaled(3, dpi);
        extent = {size.cx + edges, size.cy + edges};
    } else {
        const std::wstring lines = LabelLines(text);
        RECT box{0, 0, 0, 0};
        DrawTextW(dc, lines.c_str(), static_cast<int>(lines.size()), &box, DT_CALCRECT | DT_LEFT | DT_NOPREFIX);
        extent = {box.right - box.left, box.bottom - box.top};
    }
    SelectObject(dc, old);
    DeleteObject(font);
    return extent;
}

HFONT FontCache::Get(const window::FontSpec& spec, int dpi, int pixelHeight) {
    if (pixelHeight == 0) pixelHeight = spec.PixelHeight;
    for (const Made& made : fonts_) {
        if (made.Spec == &spec && made.PixelHeight == pixelHeight) return made.Font;
    }
    HDC dc = GetDC(window_);
    HFONT font = CreateLayoutFont(dc, spec, window::Scaled(pixelHeight, dpi));
    ReleaseDC(window_, dc);
    fonts_.push_back({&spec, pixelHeight, font});
    return font;
}

void FontCache::Clear() {
    for (const Made& made : fonts_) {
        if (made.Font != nullptr) DeleteObject(made.Font);
    }
    fonts_.clear();
}

}  // namespace quenfall::ui
