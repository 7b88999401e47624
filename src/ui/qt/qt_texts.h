#pragma once
// The window's texts and text rules (src/window) as the Qt face needs them: QString in and
// out, Qt's filter syntax, QLabel's line breaks.
#include <QString>
#include <QStringView>
#include <filesystem>

#include "window/window_texts.h"

namespace quenfall::ui {

inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

// window::ApplicationTitle with Qt's case mapping.
QString ApplicationTitle(const QString& executableFileName);

// window::DefaultErrorText on a QString.
QString DefaultErrorText(const QString& message);

// "description|patterns|description|patterns..." (patterns separated by ';') in Qt's
// filter syntax: "description (pattern pattern)" entries joined by ";;".
QString QtFileFilter(QStringView filter);

// A label's text as QLabel must be given it: a carriage return alone, or with its line
// feed, becomes a line feed, since QLabel breaks lines only at '\n'.
QString LabelDisplayText(const QString& text);

// A path from the file dialog as the file system names it, without passing it through an
// 8-bit code page: UTF-16 on Windows, the file-name encoding (UTF-8) elsewhere.
std::filesystem::path FileSystemPath(const QString& path);

}  // namespace quenfall::ui
