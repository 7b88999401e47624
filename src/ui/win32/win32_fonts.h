#pragma once
// The layout's fonts as GDI fonts for one window at its DPI: each made on first use, with the
// first of its faces that is installed, and kept until the DPI changes.
#include <windows.h>

#include <array>

#include "window/window_layout.h"

namespace quenfall::ui {

// The window's dots per inch: its own where Windows tells it (10, version 1607 on), else the
// screen's.
int WindowDpi(HWND window);

class FontCache {
public:
    explicit FontCache(HWND window) : window_(window) {}
    ~FontCache() { Clear(); }
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    // The font of spec at dpi; the cache holds fonts of one DPI, so Clear it when that changes.
    HFONT Get(const window::FontSpec& spec, int dpi);
    void Clear();

private:
    HWND window_;
    std::array<HFONT, 8> fonts_{};
    std::array<const window::FontSpec*, 8> specs_{};
};

}  // namespace quenfall::ui
