#pragma once
// The check both faces' text-fit tests make with their own font metrics: every text of the
// main window, in the language in use, at 96 and 192 dpi, against the window's rule. Each
// text that needed a smaller font is logged, each one too long even at the smallest font is
// named, and so is any answer of the rule that the metrics contradict.
#include <cstdio>
#include <string>
#include <vector>

#include "text/translation.h"
#include "window/text_fit.h"
#include "window/window_texts.h"

namespace quenfall::testing {

inline constexpr int FitDpis[] = {96, 192};

struct LanguageFit {
    int Shrunk = 0;
    std::vector<std::string> Overflowing;  // too long even at the smallest font
    std::vector<std::string> Wrong;        // the rule's answer contradicts the metrics
};

inline std::vector<std::string> MainWindowEnglish() {
    std::vector<std::string> texts;
    for (const window::WindowText& text : window::MainWindowTexts()) texts.push_back(text.English);
    return texts;
}

inline LanguageFit CheckLanguageFit(const std::string& language, const window::TextMeasure& measure) {
    LanguageFit check;
    for (const window::WindowText& text : window::MainWindowTexts()) {
        const std::u16string shown = window::Utf16(text::Tr(text.English));
        const window::ControlSpec& spec = window::Spec(text.Control);
        const window::TextRoom room = window::RoomOf(text.Control);
        for (const int dpi : FitDpis) {
            const auto fitsAt = [&](int pixels) {
                const window::TextExtent extent = measure(spec, shown, window::Scaled(pixels, dpi), dpi);
                return extent.Width <= window::Scaled(room.Width, dpi) && extent.Height <= window::Scaled(room.Height, dpi);
            };
            const window::FittedFont fitted = window::FitFont(text.Control, shown, dpi, measure);
            const std::string name =
                language + " " + std::to_string(dpi) + "dpi " + std::string(spec.Name) + " \"" + window::Utf8(shown) + "\"";
            if (!fitted.Fits) {
                check.Overflowing.push_back(name);
                if (fitted.PixelHeight != window::SmallestFontPixels || fitsAt(fitted.PixelHeight)) {
                    check.Wrong.push_back(name + " (fits, yet refused)");
                }
                continue;
            }
            // It fits at the size chosen, and one pixel more would not have (or it is the
            // layout's own size).
            if (!fitsAt(fitted.PixelHeight)) check.Wrong.push_back(name + " (overflows)");
            if (fitted.PixelHeight < spec.Font->PixelHeight) {
                ++check.Shrunk;
                if (fitsAt(fitted.PixelHeight + 1)) check.Wrong.push_back(name + " (shrunk too far)");
                std::printf("shrunk to %d of %d px: %s\n", fitted.PixelHeight, spec.Font->PixelHeight, name.c_str());
            }
        }
    }
    return check;
}

inline std::string Lines(const std::vector<std::string>& lines, const std::string& prefix = {}) {
    std::string joined;
    for (const std::string& line : lines) joined += prefix + line + "\n";
    return joined;
}

}  // namespace quenfall::testing
