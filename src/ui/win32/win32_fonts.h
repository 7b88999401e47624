#pragma once
// The layout's fonts as GDI fonts for one window at its DPI: each made on first use, with the
// first of its faces that is installed, and kept until the DPI changes.
#include <windows.h>

#include <string_view>
#include <vector>

#include "window/text_fit.h"

namespace quenfall::ui {

// The window's dots per inch: its own where Windows tells it (10, version 1607 on), else the
// screen's.
int WindowDpi(HWND window);

// A new font of spec at a character height of devicePixels, with the first of its faces
// installed on dc's device; the caller deletes it.
HFONT CreateLayoutFont(HDC dc, const window::FontSpec& spec, int devicePixels);

// What control needs to show text in its font at devicePixels, measured on dc: a label's
// lines as DrawText lays them out, a push button's text inside its edges and focus frame.
window::TextExtent MeasureGdiText(HDC dc, const window::ControlSpec& control, std::u16string_view text,
                                  int devicePixels, int dpi);

class FontCache {
public:
    explicit FontCache(HWND window) : window_(window) {}
    ~FontCache() { Clear(); }
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    // The font of spec at dpi, at the layout's character height or at pixelHeight layout
    // pixels; the cache holds fonts of one DPI, so Clear it when that changes.
    HFONT Get(const window::FontSpec& spec, int dpi, int pixelHeight = 0);
    void Clear();

private:
    struct Made {
        const window::FontSpec* Spec;
        int PixelHeight;
        HFONT Font;
    };
    HWND window_;
    std::vector<Made> fonts_;
};

}  // namespace quenfall::ui
