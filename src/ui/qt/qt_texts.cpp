#include "ui/qt/qt_texts.h"

#include <QFile>
#include <QStringList>

namespace quenfall::ui {

QString ApplicationTitle(const QString& executableFileName) {
    return ToQString(window::ApplicationTitle(ToU16(executableFileName), [](std::u16string_view text) {
        return ToU16(ToQString(text).toLower());
    }));
}

QString DefaultErrorText(const QString& message) { return ToQString(window::DefaultErrorText(ToU16(message))); }

QString QtFileFilter(QStringView filter) {
    const QList<QStringView> parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (QStringView pattern : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            patterns << pattern.trimmed().toString();
        }
        entries << parts[i].toString() + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return entries.join(QStringLiteral(";;"));
}

QString LabelDisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

std::filesystem::path FileSystemPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    const QByteArray encoded = QFile::encodeName(path);
    return std::filesystem::path(std::string(encoded.constData(), static_cast<std::size_t>(encoded.size())));
#endif
}

}  // namespace quenfall::ui
