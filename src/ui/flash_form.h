#pragma once
// The one window of the program: the borderless 770 x 431 form with its controls, the
// seven timers of the upgrade and the device watch, and every handler. Everything runs on
// its thread. It is the upgrade's view: the status line, the progress bar, the two icons,
// the boxes and the completion pause.
#include <QString>
#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>
#include <utility>

#include "package/package.h"
#include "ui/desktop_services.h"
#include "ui/device_notifier.h"
#include "ui/qt_timer_bank.h"
#include "upgrade/device_link.h"
#include "upgrade/device_watch.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/upgrade_view.h"

class QLineEdit;
class QPushButton;

namespace quenfall::ui {

class LayoutLabel;
class PictureBox;
class PictureButton;

inline constexpr int ClientWidth = 770;
inline constexpr int ClientHeight = 431;

struct FlashFormOptions {
    // How the window registers for USB arrivals and removals; the platform's by default.
    RegisterDeviceWatchFunction RegisterWatch = RegisterDeviceWatch;
    // The caption of the information and error boxes; by default the application title
    // taken from the executable's name.
    QString ApplicationTitle;
};

class TFlashForm : public QWidget, public UpgradeView {
    Q_OBJECT
public:
    using Options = FlashFormOptions;
    TFlashForm(DeviceLink& link, DesktopServices& desktop, Options options = Options());
    ~TFlashForm() override;

    // UpgradeView
    void SetStatusText(std::string_view text) override;
    void SetProgressWidth(int pixels) override;
    void SetSuccessIconVisible(bool visible) override;
    void SetFailureIconVisible(bool visible) override;
    void ShowInfo(std::string_view text) override;
    void ShowError(std::string_view text, std::string_view caption) override;
    void Pause(std::chrono::milliseconds duration) override;

    // An error that escaped a handler: a modal error box owned by the window, captioned with
    // the application title, the message with the full-stop rule applied.
    void ShowDefaultError(const QString& message);

    bool Busy() const { return sequencer_.Busy(); }
    // The package an Upgrade click would send; null when none is loaded.
    const std::shared_ptr<const Package>& LoadedPackage() const { return loadedPackage_; }
    // Whether the USB watch is registered (DeviceNotifyHandle not null).
    bool DeviceWatchRegistered() const { return DeviceNotifyHandle != nullptr; }
    const UpgradeSequencer& Sequencer() const { return sequencer_; }
    const QString& Title() const { return applicationTitle_; }

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
    // A package was accepted and is now the loaded one.
    void PackageAccepted(std::shared_ptr<const Package> package);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void FormShow();
    bool FormCloseQuery();
    void Button1Click();
    void Button2Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void Image1MouseDown(Qt::MouseButton button);
    void Label3MouseMove();
    void Label3MouseLeave();
    void Label3Click();
    void OnTimer(TimerId id);
    // Runs a handler; an error that escapes it goes to the default error display, and the
    // window carries on.
    template <typename Handler>
    void Guarded(Handler&& handler, std::optional<TimerId> timer = std::nullopt);

    DeviceLink& link_;
    DesktopServices& desktop_;
    Options options_;
    QString applicationTitle_;
    QtTimerBank timers_;
    UpgradeSequencer sequencer_;
    DeviceWatch watch_;
    std::shared_ptr<const Package> loadedPackage_;
    std::unique_ptr<DeviceNotifier> DeviceNotifyHandle;
    bool shown_ = false;
    bool painted_ = false;
    bool errorBoxOpen_ = false;
    // The timer whose failure was reported last, with its message.
    std::optional<std::pair<TimerId, QString>> repeatedFailure_;

    PictureBox* Image1 = nullptr;
    PictureBox* Image2 = nullptr;
    LayoutLabel* Label2 = nullptr;
    PictureButton* SpeedButton1 = nullptr;
    LayoutLabel* Label1 = nullptr;
    PictureButton* SpeedButton2 = nullptr;
    PictureBox* Image3 = nullptr;
    LayoutLabel* Label5 = nullptr;
    LayoutLabel* Label3 = nullptr;
    LayoutLabel* Label6 = nullptr;
    LayoutLabel* Label7 = nullptr;
    LayoutLabel* Label8 = nullptr;
    PictureBox* Image4 = nullptr;
    PictureBox* Image5 = nullptr;
    LayoutLabel* Label4 = nullptr;
    LayoutLabel* Label9 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

}  // namespace quenfall::ui
