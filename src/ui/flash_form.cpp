#include "ui/flash_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <exception>

#include "package/package_loader.h"
#include "protocol/key_tables.h"
#include "ui/pictures.h"
#include "ui/window_controls.h"
#include "ui/window_texts.h"
#include "upgrade/status_texts.h"

namespace quenfall::ui {
namespace {

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Faces named by the layout first; the rest stand in where they are not installed.
// Liberation Sans has Arial's metrics, so the texts take the widths the layout was made for.
const QStringList ArialFaces = {QStringLiteral("Arial Unicode MS"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")};
const QStringList TitleFaces = {QStringLiteral("Microsoft YaHei"), QStringLiteral("\u5fae\u8f6f\u96c5\u9ed1"),
                                QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                                QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")};
const QStringList WindowFaces = {QStringLiteral("Segoe UI Light"), QStringLiteral("Segoe UI"), QStringLiteral("Noto Sans"),
                                 QStringLiteral("DejaVu Sans")};

QFont SmallFont() { return LayoutFont(ArialFaces, 11); }
QFont MediumFont() { return LayoutFont(ArialFaces, 12); }

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

LayoutLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, const QFont& font,
                       const QColor& colour = QColor()) {
    auto* label = new LayoutLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->setFont(font);
    if (colour.isValid()) SetTextColour(label, colour);
    label->SetText(QString());
    return label;
}

}  // namespace

TFlashForm::TFlashForm(DeviceLink& link, DesktopServices& desktop, Options options)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint),
      link_(link),
      desktop_(desktop),
      options_(std::move(options)),
      applicationTitle_(options_.ApplicationTitle.isEmpty()
                            ? ApplicationTitle(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                            : options_.ApplicationTitle),
      timers_(this),
      sequencer_(link, *this, timers_),
      watch_(link, *this, timers_, sequencer_) {
    setObjectName(QStringLiteral("FlashForm"));
    setFont(LayoutFont(WindowFaces, 19));
    // Not sizable by the user: the client area is fixed.
    setFixedSize(ClientWidth, ClientHeight);
    // Qt paints every widget through the window's backing store, so status and progress
    // changes on each tick never flicker. Image1 covers the whole form, so the form itself
    // never needs to be erased.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    timers_.SetDispatch([this](TimerId id) { OnTimer(id); });
    CreateControls();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktopArea = screen->availableGeometry();
        move(desktopArea.center() - QPoint(ClientWidth / 2, ClientHeight / 2));
    }

    // The watch is registered on the native window, which therefore exists from here on.
    winId();
    if (options_.RegisterWatch) {
        DeviceRegistration registration =
            options_.RegisterWatch(*this, [this] { UsbDeviceChanged(); });
        DeviceNotifyHandle = std::move(registration.Notifier);
        if (!DeviceNotifyHandle) ShowInfo(registration.ErrorText);
    }
}

TFlashForm::~TFlashForm() {
    // Handlers must not run into a half-destroyed window.
    timers_.SetDispatch({});
    DeviceNotifyHandle.reset();
}

template <typename Handler>
void TFlashForm::Guarded(Handler&& handler, std::optional<TimerId> timer) {
    QString message;
    try {
        handler();
        // A timer whose handler works again may report its next failure.
        if (timer && repeatedFailure_ && repeatedFailure_->first == *timer) repeatedFailure_.reset();
        return;
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
    }
    // The box's own message loop goes on firing timers: a handler failing on every tick
    // would open box over box without end. One box at a time, and a timer that fails again
    // the same way after its box was closed is not reported again until it has worked once.
    if (errorBoxOpen_) return;
    if (timer) {
        if (repeatedFailure_ && repeatedFailure_->first == *timer && repeatedFailure_->second == message) return;
        repeatedFailure_.emplace(*timer, message);
    }
    errorBoxOpen_ = true;
    ShowDefaultError(message);
    errorBoxOpen_ = false;
}

void TFlashForm::CreateControls() {
    // Creation order is stacking order: later controls lie above earlier ones, and the three
    // input controls come last, above everything.
    Image1 = new PictureBox(this, PaintBackground);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, ClientWidth, ClientHeight);
    Image1->setAttribute(Qt::WA_OpaquePaintEvent, true);
    Image1->installEventFilter(this);
    connect(Image1, &PictureBox::mousePressed, this,
            [this](Qt::MouseButton button) { Image1MouseDown(button); });

    Image2 = new PictureBox(this, PaintApplicationIcon, QSize(32, 32), false);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(8, 16, 33, 34);

    Label2 = MakeLabel(this, "Label2", 46, 24, LayoutFont(TitleFaces, 13, true), Qt::white);
    // Which key tables this build carries, for anyone who needs to tell builds apart,
    // without adding anything to the layout.
    const QString keySet = QStringLiteral("Key set %1, fingerprint %2").arg(FromView(KeySetName()),
                                                                  FromView(KeySetFingerprint()));
    Image2->setToolTip(keySet);
    Label2->setToolTip(keySet);

    SpeedButton1 = new PictureButton(this, PaintCloseFace, QSize(36, 19));
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(729, 1, 38, 19);
    SpeedButton1->setToolTip(QString::fromUtf16(CloseHint));
    connect(SpeedButton1, &QAbstractButton::clicked, this, [this] { Guarded([this] { SpeedButton1Click(); }); });

    Label1 = MakeLabel(this, "Label1", 58, 163, MediumFont());

    SpeedButton2 = new PictureButton(this, PaintMinimiseFace, QSize(25, 19));
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setGeometry(708, 1, 25, 19);
    SpeedButton2->setToolTip(QString::fromUtf16(MinimiseHint));
    connect(SpeedButton2, &QAbstractButton::clicked, this, [this] { Guarded([this] { SpeedButton2Click(); }); });

    Image3 = new PictureBox(this, PaintProgressBar);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(30, 350, 700, 22);

    Label5 = MakeLabel(this, "Label5", 30, 325, LayoutFont(ArialFaces, 14), QColor(0xff, 0x00, 0xff));

    Label3 = MakeLabel(this, "Label3", 604, 395, LayoutFont(ArialFaces, 12, false, true), QColor(0x00, 0x00, 0xff));
    Label3->SetText(QString::fromUtf16(HomePageAddress));
    Label3->setVisible(false);
    Label3->setMouseTracking(true);
    Label3->installEventFilter(this);

    Label6 = MakeLabel(this, "Label6", 134, 201, SmallFont());
    Label7 = MakeLabel(this, "Label7", 134, 223, SmallFont());
    Label8 = MakeLabel(this, "Label8", 134, 259, SmallFont());

    Image4 = new PictureBox(this, PaintSuccessIcon);
    Image4->setObjectName(QStringLiteral("Image4"));
    Image4->setGeometry(280, 314, 32, 32);
    Image4->setVisible(false);
    Image5 = new PictureBox(this, PaintFailureIcon);
    Image5->setObjectName(QStringLiteral("Image5"));
    Image5->setGeometry(246, 314, 32, 32);
    Image5->setVisible(false);

    Label4 = MakeLabel(this, "Label4", 655, 395, MediumFont(), QColor(0x00, 0x00, 0xff));
    Label4->setMouseTracking(true);
    Label4->installEventFilter(this);

    Label9 = MakeLabel(this, "Label9", 134, 280, SmallFont());

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(134, 161, 400, 23);
    Edit1->setFont(SmallFont());
    Edit1->setReadOnly(true);
    QPalette editPalette = Edit1->palette();
    editPalette.setColor(QPalette::Base, editPalette.color(QPalette::Button));
    Edit1->setPalette(editPalette);

    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(538, 158, 110, 25);
    Button1->setFont(SmallFont());
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
    Button1->installEventFilter(this);

    Button2 = new QPushButton(this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(655, 158, 75, 25);
    Button2->setFont(SmallFont());
    connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });
    Button2->installEventFilter(this);

    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, Button2);

    // The instructions never change; they are part of the layout.
    Label6->SetText(QString::fromUtf16(Step1Text));
    Label7->SetText(QString::fromUtf16(Step2Text));
    Label8->SetText(QString::fromUtf16(Step3Text));
    Label9->SetText(QString::fromUtf16(Step4Text));
}

// ---- the form's own events -----------------------------------------------------------------

void TFlashForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring from the taskbar shows the window again; the texts are set and the radio
    // looked for only when it is first shown.
    if (shown_) return;
    shown_ = true;
    Guarded([this] { FormShow(); });
}

void TFlashForm::FormShow() {
    Label2->SetText(QString::fromUtf16(TitleText));
    setWindowTitle(QString::fromUtf16(TitleText));
    Label4->SetText(QString::fromUtf16(ForAllModelText));
    Label1->SetText(QString::fromUtf16(FirmwareText));
    Button2->setText(QString::fromUtf16(UpgradeButtonText));
    Button1->setText(QString::fromUtf16(SelectButtonText));
    if (link_.ScanDrives() == 0) SetStatusText(NoDeviceText);
    SetProgressWidth(0);
}

void TFlashForm::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool TFlashForm::FormCloseQuery() {
    // An upload must not be cut off half-way: the radio would be left without firmware.
    return !sequencer_.Busy();
}

void TFlashForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The background follows the client area; the form does nothing else on a resize.
    if (Image1 != nullptr) Image1->setGeometry(rect());
}

bool TFlashForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        // Once this paint has reached the screen.
        QTimer::singleShot(0, this, &TFlashForm::FirstPainted);
    }
    // Enter presses the focused push button, as on every desktop (Qt leaves that to dialogs).
    if ((watched == Button1 || watched == Button2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
    }
    if (watched == Label3 || watched == Label4) {
        switch (event->type()) {
        case QEvent::MouseMove:
            Label3MouseMove();
            break;
        case QEvent::Leave:
            Label3MouseLeave();
            break;
        case QEvent::MouseButtonRelease:
            if (watched == Label3) {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() == Qt::LeftButton && Label3->rect().contains(mouse->position().toPoint())) {
                    Guarded([this] { Label3Click(); });
                }
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- clicks ----------------------------------------------------------------------------------

void TFlashForm::Button1Click() {
    if (sequencer_.Busy()) return;
    // Set anew for every use.
    const QString filter = QtFileFilter(PackageFilter);
    const std::optional<QString> chosen = desktop_.OpenFileName(this, filter);
    if (!chosen) return;

    LoadResult result = LoadPackage(FileSystemPath(*chosen));
    switch (result.Verdict) {
    case LoadVerdict::Accepted:
        loadedPackage_ = std::move(result.Accepted);
        Edit1->setText(*chosen);
        emit PackageAccepted(loadedPackage_);
        break;
    case LoadVerdict::Refused:
        ShowInfo(result.Message);
        Edit1->setText(QString());
        loadedPackage_.reset();
        break;
    case LoadVerdict::Unreadable:
        // Nothing was read: the package loaded before, if any, stays, and so does Edit1.
        ShowDefaultError(QString::fromStdString(result.Message));
        break;
    }
}

void TFlashForm::Button2Click() { sequencer_.Button2Click(loadedPackage_); }

void TFlashForm::SpeedButton1Click() { close(); }

void TFlashForm::SpeedButton2Click() { setWindowState(windowState() | Qt::WindowMinimized); }

void TFlashForm::Image1MouseDown(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    // The window system moves the window with the pointer until the button is released.
    desktop_.StartSystemMove(windowHandle());
}

void TFlashForm::Label3MouseMove() { setCursor(Qt::PointingHandCursor); }

void TFlashForm::Label3MouseLeave() { unsetCursor(); }

void TFlashForm::Label3Click() { desktop_.OpenUrl(QUrl(QString::fromUtf16(HomePageAddress))); }

// ---- timers and device changes ---------------------------------------------------------------

void TFlashForm::OnTimer(TimerId id) {
    Guarded([this, id] { TimerDispatch(sequencer_, watch_)(id); }, id);
}

void TFlashForm::UsbDeviceChanged() {
    Guarded([this] { watch_.OnUsbDeviceChanged(); });
}

// ---- the upgrade's view ----------------------------------------------------------------------

void TFlashForm::SetStatusText(std::string_view text) {
    const QString shown = FromView(text);
    Label5->SetText(shown);
    emit StatusTextSet(shown);
}

void TFlashForm::SetProgressWidth(int pixels) {
    Image3->resize(pixels, Image3->height());
    emit ProgressWidthSet(pixels);
}

void TFlashForm::SetSuccessIconVisible(bool visible) { Image4->setVisible(visible); }

void TFlashForm::SetFailureIconVisible(bool visible) { Image5->setVisible(visible); }

void TFlashForm::ShowInfo(std::string_view text) {
    desktop_.MessageBox(nullptr, BoxIcon::None, applicationTitle_, FromView(text));
}

void TFlashForm::ShowError(std::string_view text, std::string_view caption) {
    desktop_.MessageBox(this, BoxIcon::Error, FromView(caption), FromView(text));
}

void TFlashForm::ShowDefaultError(const QString& message) {
    desktop_.MessageBox(this, BoxIcon::Error, applicationTitle_, DefaultErrorText(message));
}

void TFlashForm::Pause(std::chrono::milliseconds duration) {
    // Nothing is handled during the pause, so what was just written (the completion text and
    // the success icon) is painted now, or the user would stare at the old status line.
    if (isVisible()) repaint();
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

}  // namespace quenfall::ui
