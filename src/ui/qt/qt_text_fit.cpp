#include "ui/qt/qt_text_fit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>

#include "ui/qt/qt_controls.h"
#include "ui/qt/qt_texts.h"

namespace quenfall::ui {

QFont FontOf(const window::FontSpec& spec) { return FontOf(spec, spec.PixelHeight); }

QFont FontOf(const window::FontSpec& spec, int pixelHeight) {
    QStringList families;
    for (std::u16string_view face : spec.Faces) families << ToQString(face);
    return LayoutFont(families, pixelHeight, spec.Bold, spec.Underline);
}

window::TextExtent MeasureQtText(const window::ControlSpec& control, std::u16string_view text, int devicePixels,
                                 int dpi) {
    const QFontMetrics metrics(FontOf(*control.Font, devicePixels));
    if (control.Kind != window::ControlKind::PushButton) {
        // As QLabel sizes plain text that does not wrap.
        const QRect box = metrics.boundingRect(QRect(0, 0, 100000, 100000),
                                               Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs,
                                               LabelDisplayText(ToQString(text)));
        return {box.width(), box.height()};
    }
    // The button's text is drawn inside the style's contents rectangle and clipped to it.
    QStyleOptionButton option;
    option.rect = QRect(0, 0, control.Width, control.Height);
    const QRect contents = QApplication::style()->subElementRect(QStyle::SE_PushButtonContents, &option, nullptr);
    const int edgeWidth = window::Scaled(control.Width - contents.width(), dpi);
    const int edgeHeight = window::Scaled(control.Height - contents.height(), dpi);
    const QSize shown = metrics.size(Qt::TextShowMnemonic, ToQString(text));
    return {shown.width() + edgeWidth, shown.height() + edgeHeight};
}

QFont FittedFontOf(window::ControlId control, std::u16string_view text) {
    const window::ControlSpec& spec = window::Spec(control);
    return FontOf(*spec.Font, window::FitFont(control, text, window::DesignDpi, MeasureQtText).PixelHeight);
}

}  // namespace quenfall::ui
