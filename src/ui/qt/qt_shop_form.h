#pragma once
// The Qt face of the shop window: a resizable window with the package's path, Select, the
// package's verdict, a table of radios (a progress column painted as the main window's bar,
// the main window's success and failure icons in the outcome column), the summary and the
// two buttons. What it does is decided by window::ShopWindow; this class only renders it
// and hands it the user's input.
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "ui/qt/device_notifier.h"
#include "ui/qt/qt_desktop_services.h"
#include "window/shop_face.h"
#include "window/shop_window.h"

class QTableWidget;

namespace quenfall::ui {

struct ShopFormOptions {
    // How the window registers for USB arrivals and removals; the platform's by default,
    // none when the radios are emulated.
    RegisterDeviceWatchFunction RegisterWatch = RegisterDeviceWatch;
};

class TShopForm : public QWidget, private window::ShopFace {
    Q_OBJECT
public:
    using Options = ShopFormOptions;
    explicit TShopForm(DesktopServices& desktop, Options options = Options());
    ~TShopForm() override;

    // The face the shop window is built on, before Attach.
    window::ShopFace& Face() { return *this; }
    // The window's decisions, once they exist: input goes there from now on.
    void Attach(window::ShopWindow& window);

    QTableWidget* RadioTable() const { return table_; }
    QWidget* Control(window::ShopControl control) const { return controls_[static_cast<std::size_t>(control)]; }
    bool RefreshTimerOn() const { return refresh_.isActive(); }

signals:
    // The window has been shown and painted once.
    void FirstPainted();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ShopFace
    void SetCaption(std::u16string_view caption) override;
    void SetText(window::ShopControl control, std::u16string_view text) override;
    void SetEnabled(window::ShopControl control, bool enabled) override;
    void SetChecked(window::ShopControl control, bool checked) override;
    void SetDefaultButton(window::ShopControl button) override;
    void SetFocus(window::ShopControl control) override;
    void SetRowCount(std::size_t rows) override;
    void SetRow(std::size_t index, const window::ShopRowView& row) override;
    void ShowBox(window::BoxIcon icon, std::u16string_view caption, std::u16string_view text) override;
    bool AskBox(std::u16string_view caption, std::u16string_view text) override;
    std::optional<window::ChosenFile> OpenFileName(std::u16string_view filter) override;
    std::optional<window::ChosenFile> SaveFileName(std::u16string_view filter, std::u16string_view suggested) override;
    void SetRefreshTimer(bool on) override;
    void Post(std::function<void()> task) override;

    std::optional<window::ShopControl> ControlOf(const QObject* watched) const;

    DesktopServices& desktop_;
    Options options_;
    window::ShopWindow* window_ = nullptr;
    std::array<QWidget*, window::ShopControlCount> controls_{};
    QTableWidget* table_ = nullptr;
    QTimer refresh_;
    std::unique_ptr<DeviceNotifier> notifier_;
    bool painted_ = false;
};

}  // namespace quenfall::ui
