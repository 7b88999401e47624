#pragma once
// The window's text fitting (window/text_fit.h) with Qt's font metrics: the layout's fonts as
// QFonts, and a text measured as a LayoutLabel or a QPushButton of the window shows it.
#include <QFont>
#include <string_view>

#include "window/text_fit.h"

namespace quenfall::ui {

// The layout's font, at its own character height or at pixelHeight.
QFont FontOf(const window::FontSpec& spec);
QFont FontOf(const window::FontSpec& spec, int pixelHeight);

// What control needs to show text in its font at devicePixels, on a screen of dpi: a label's
// lines as QLabel lays them out, a button's text plus the style's frame and margins (scaled
// with the screen, as Qt scales them). Needs a QApplication.
window::TextExtent MeasureQtText(const window::ControlSpec& control, std::u16string_view text, int devicePixels,
                                 int dpi);

// The font control shows text in. Qt lays the window out in 96-dpi pixels and scales it as a
// whole with the screen, so the choice is made at the layout's own resolution.
QFont FittedFontOf(window::ControlId control, std::u16string_view text);

}  // namespace quenfall::ui
