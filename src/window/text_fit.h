#pragma once
// How a text keeps inside its control in a fixed-size window. The window never grows, so a
// text longer than the room its control has (a translation, mostly) is shown in a smaller
// font, one pixel of character height at a time, down to a floor below which it would no
// longer be comfortably readable. English fits with the layout's own fonts and keeps them.
// Each face measures with its own font machinery; the decision is made here, once.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "window/window_layout.h"

namespace quenfall::window {

// The smallest character height a shrunk text may take, in layout pixels (96 dpi): 9 px is
// 6.75 pt, the size Windows itself uses for its smallest UI captions (Small Fonts aside); at
// it Arial's lower case is 5 px high and CJK ideographs keep 9 px cells, still legible. The
// step labels start at 11 px, so a text may lose up to two pixels (18%) before it is a
// translation's problem instead of the window's.
inline constexpr int SmallestFontPixels = 9;

// The room a control's text may take, in layout pixels: a label's text may run on to the
// next control, or the window's frame, to its right and below it; a button's text stays
// inside the button. Width and height 0: the control shows no text.
struct TextRoom {
    int Width = 0;
    int Height = 0;
};
TextRoom RoomOf(ControlId id);

// What a control needs to show text in device pixels, the control's own edges included
// (a button's frame and margins), lines broken as the control breaks them.
struct TextExtent {
    int Width = 0;
    int Height = 0;
};

// Measures text as control shows it, in control's font at a character height of
// devicePixels, on a screen of dpi dots per inch.
using TextMeasure =
    std::function<TextExtent(const ControlSpec& control, std::u16string_view text, int devicePixels, int dpi)>;

struct FittedFont {
    int PixelHeight = 0;  // layout pixels; the layout's own height when the text fits in it
    bool Fits = true;     // false: the text overflows even at SmallestFontPixels
    friend bool operator==(const FittedFont&, const FittedFont&) = default;
};

// The largest character height, from the layout's font down to SmallestFontPixels, at which
// text fits control's room on a screen of dpi. Every candidate is measured at its scaled
// size against the scaled room, as the face draws it.
FittedFont FitFont(ControlId id, std::u16string_view text, int dpi, const TextMeasure& measure);

// The layout's font of control at a character height of pixelHeight layout pixels.
FontSpec FontAt(const FontSpec& font, int pixelHeight);

// Every text the main window can show in a control, in English (the catalogues' keys): the
// labels and buttons it sets and the status line's texts.
struct WindowText {
    ControlId Control;
    std::string English;
};
std::vector<WindowText> MainWindowTexts();

}  // namespace quenfall::window
