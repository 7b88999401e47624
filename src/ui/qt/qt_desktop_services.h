#pragma once
// What the window asks of the desktop: the open dialog, modal message boxes, moving the
// window with the pointer and opening a web address. The window reaches them only through
// this interface, so tests stand in for the user without any box or dialog blocking them.
#include <QString>
#include <QUrl>
#include <optional>

class QWidget;
class QWindow;

namespace quenfall::ui {

enum class BoxIcon { None, Error };

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // The platform's open dialog with the given filter (Qt syntax), no title, no initial
    // folder. The chosen file's full path, or nothing when the user cancels.
    virtual std::optional<QString> OpenFileName(QWidget* owner, const QString& filter) = 0;
    // The platform's save dialog with the given filter (Qt syntax) and suggested file name;
    // it asks before replacing a file. The chosen full path, or nothing when cancelled.
    virtual std::optional<QString> SaveFileName(QWidget* owner, const QString& filter, const QString& suggested) = 0;
    // A modal box with one OK button; returns when the user has closed it. With an owner the
    // owner takes no input meanwhile; without one the box is centred on the screen. Timers
    // and socket notifiers go on firing inside the box's own event loop.
    virtual void MessageBox(QWidget* owner, BoxIcon icon, const QString& caption,
                            const QString& text) = 0;
    // A modal box with Yes and No, No the default; true for Yes. As MessageBox otherwise.
    virtual bool Question(QWidget* owner, const QString& caption, const QString& text) = 0;
    // Hands the window to the window system, which moves it with the pointer until the
    // button is released. False when the platform cannot.
    virtual bool StartSystemMove(QWindow* window) = 0;
    virtual void OpenUrl(const QUrl& url) = 0;
};

// The real thing: QFileDialog, QMessageBox, QWindow::startSystemMove, QDesktopServices.
class QtDesktopServices : public DesktopServices {
public:
    std::optional<QString> OpenFileName(QWidget* owner, const QString& filter) override;
    std::optional<QString> SaveFileName(QWidget* owner, const QString& filter, const QString& suggested) override;
    void MessageBox(QWidget* owner, BoxIcon icon, const QString& caption,
                    const QString& text) override;
    bool Question(QWidget* owner, const QString& caption, const QString& text) override;
    bool StartSystemMove(QWindow* window) override;
    void OpenUrl(const QUrl& url) override;
};

}  // namespace quenfall::ui
