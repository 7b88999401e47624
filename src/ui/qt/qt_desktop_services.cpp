#include "ui/qt/qt_desktop_services.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QWindow>

namespace quenfall::ui {

std::optional<QString> QtDesktopServices::OpenFileName(QWidget* owner, const QString& filter) {
    // Qt's filter syntax appends the patterns in parentheses; hiding them shows each entry
    // by its description alone, as the filter was written.
    const QString chosen = QFileDialog::getOpenFileName(owner, QString(), QString(), filter, nullptr,
                                                        QFileDialog::HideNameFilterDetails);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

std::optional<QString> QtDesktopServices::SaveFileName(QWidget* owner, const QString& filter, const QString& suggested) {
    const QString chosen = QFileDialog::getSaveFileName(owner, QString(), suggested, filter, nullptr,
                                                        QFileDialog::HideNameFilterDetails);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

void QtDesktopServices::MessageBox(QWidget* owner, BoxIcon icon, const QString& caption,
                                   const QString& text) {
    QMessageBox box(icon == BoxIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption,
                    text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDesktopServices::Question(QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

bool QtDesktopServices::StartSystemMove(QWindow* window) {
    return window != nullptr && window->startSystemMove();
}

void QtDesktopServices::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace quenfall::ui
