#pragma once
// The Qt face of the one window: the borderless 770 x 431 form with the controls of the
// layout (src/window/window_layout.h) as Qt widgets, the seven timers as Qt timers. What
// the window does on a click, a tick or a USB notice is decided by window::FlashWindow;
// this class only renders it and hands it the user's input.
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

#include "ui/qt/qt_desktop_services.h"
#include "ui/qt/device_notifier.h"
#include "ui/qt/qt_timer_bank.h"
#include "upgrade/device_link.h"
#include "window/flash_window.h"
#include "window/window_face.h"

namespace quenfall::ui {

using window::ClientHeight;
using window::ClientWidth;

struct FlashFormOptions {
    // How the window registers for USB arrivals and removals; the platform's by default.
    RegisterDeviceWatchFunction RegisterWatch = RegisterDeviceWatch;
    // The caption of the information and error boxes; by default the application title
    // taken from the executable's name.
    QString ApplicationTitle;
};

class TFlashForm : public QWidget, private window::WindowFace {
    Q_OBJECT
public:
    using Options = FlashFormOptions;
    TFlashForm(DeviceLink& link, DesktopServices& desktop, Options options = Options());
    ~TFlashForm() override;

    bool Busy() const { return window_.Busy(); }
    // Whether the USB watch is registered (DeviceNotifyHandle not null).
    bool DeviceWatchRegistered() const { return DeviceNotifyHandle != nullptr; }
    const UpgradeSequencer& Sequencer() const { return window_.Sequencer(); }
    const QString& Title() const { return applicationTitle_; }
    window::FlashWindow& Window() { return window_; }

public slots:
    // A USB device arrived or left (the platform's notice, or the emulated radio's).
    void UsbDeviceChanged();

signals:
    // Every text written to the status line and every width given to the progress bar, in
    // order; the status line itself only shows the last.
    void StatusTextSet(const QString& text);
    void ProgressWidthSet(int pixels);
    // The window has been shown and painted once.
    void FirstPainted();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // WindowFace
    void SetText(window::ControlId control, std::u16string_view text) override;
    void SetCaption(std::u16string_view caption) override;
    void SetTooltip(window::ControlId control, std::u16string_view text) override;
    void SetWidth(window::ControlId control, int layoutPixels) override;
    void SetVisible(window::ControlId control, bool visible) override;
    bool AskBox(std::u16string_view caption, std::u16string_view text) override;
    void ShowBox(window::BoxOwner owner, window::BoxIcon icon, std::u16string_view caption,
                 std::u16string_view text) override;
    std::optional<window::ChosenFile> OpenFileName(std::u16string_view filter) override;
    void RequestClose() override;
    void Minimise() override;
    void StartSystemMove() override;
    void SetHandCursor(bool hand) override;
    void OpenAddress(std::u16string_view address) override;
    void PaintNow() override;

    void CreateControls();
    QWidget* Control(window::ControlId id) const { return controls_[static_cast<std::size_t>(id)]; }
    // The control that watched is, if it is one of the layout's.
    std::optional<window::ControlId> ControlOf(const QObject* watched) const;

    DesktopServices& desktop_;
    Options options_;
    QString applicationTitle_;
    QtTimerBank timers_;
    window::FlashWindow window_;
    std::unique_ptr<DeviceNotifier> DeviceNotifyHandle;
    bool painted_ = false;
    std::array<QWidget*, window::ControlCount> controls_{};
};

}  // namespace quenfall::ui
