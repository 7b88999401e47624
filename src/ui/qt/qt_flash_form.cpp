#include "ui/qt/qt_flash_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "ui/qt/qt_pictures.h"
#include "ui/qt/qt_accessibility.h"
#include "ui/qt/qt_controls.h"
#include "ui/qt/qt_text_fit.h"
#include "ui/qt/qt_texts.h"
#include "window/tooltips.h"

namespace quenfall::ui {
namespace {

using window::ControlId;
using window::ControlKind;
using window::ControlSpec;

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

PicturePainter PainterOf(window::Picture picture) {
    switch (picture) {
    case window::Picture::Background: return PaintBackground;
    case window::Picture::ApplicationIcon: return PaintApplicationIcon;
    case window::Picture::ProgressBar: return PaintProgressBar;
    case window::Picture::SuccessIcon: return PaintSuccessIcon;
    case window::Picture::FailureIcon: return PaintFailureIcon;
    default: return [](QPainter&, const QRectF&) {};
    }
}

FacePainter FaceOf(window::Picture picture) {
    if (picture == window::Picture::CloseFace) return PaintCloseFace;
    return PaintMinimiseFace;
}

window::Key KeyOf(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter ? window::Key::Enter : window::Key::Other;
}

window::MouseButton ButtonOf(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton: return window::MouseButton::Left;
    case Qt::RightButton: return window::MouseButton::Right;
    case Qt::MiddleButton: return window::MouseButton::Middle;
    default: return window::MouseButton::Other;
    }
}

}  // namespace

TFlashForm::TFlashForm(DeviceLink& link, DesktopServices& desktop, Options options)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint),
      desktop_(desktop),
      options_(std::move(options)),
      applicationTitle_(options_.ApplicationTitle.isEmpty()
                            ? ApplicationTitle(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                            : options_.ApplicationTitle),
      timers_(this),
      window_(link, *this, timers_, ToU16(applicationTitle_)) {
    setObjectName(QStringLiteral("FlashForm"));
    setFont(FontOf(window::WindowFont));
    // Not sizable by the user: the client area is fixed.
    setFixedSize(ClientWidth, ClientHeight);
    // Qt paints every widget through the window's backing store, so status and progress
    // changes on each tick never flicker. Image1 covers the whole form, so the form itself
    // never needs to be erased.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    timers_.SetDispatch([this](TimerId id) { window_.Timer(id); });
    window_.OnStatusText([this](std::u16string_view text) { emit StatusTextSet(ToQString(text)); });
    window_.OnProgressWidth([this](int pixels) { emit ProgressWidthSet(pixels); });
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
        if (!DeviceNotifyHandle) window_.RegistrationFailed(registration.ErrorText);
    }
}

TFlashForm::~TFlashForm() {
    // Handlers must not run into a half-destroyed window.
    timers_.SetDispatch({});
    DeviceNotifyHandle.reset();
}

void TFlashForm::CreateControls() {
    InstallAccessibleInterfaces();
    // Creation order is stacking order: the layout lists the controls in it.
    for (const ControlSpec& spec : window::Layout()) {
        QWidget* control = nullptr;
        const QSize pictureSize(spec.PictureWidth, spec.PictureHeight);
        switch (spec.Kind) {
        case ControlKind::Picture: {
            auto* box = new PictureBox(this, PainterOf(spec.Shows), pictureSize, spec.PictureWidth == 0);
            const ControlId id = spec.Id;
            connect(box, &PictureBox::mousePressed, this,
                    [this, id](Qt::MouseButton button) { window_.MouseDown(id, ButtonOf(button)); });
            control = box;
            break;
        }
        case ControlKind::PictureButton: {
            auto* button = new PictureButton(this, FaceOf(spec.Shows), pictureSize);
            const ControlId id = spec.Id;
            connect(button, &QAbstractButton::clicked, this, [this, id] { window_.Click(id); });
            control = button;
            break;
        }
        case ControlKind::Label: {
            auto* label = new LayoutLabel(this);
            label->setMouseTracking(true);
            label->installEventFilter(this);
            control = label;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setReadOnly(true);
            QPalette palette = edit->palette();
            palette.setColor(QPalette::Base, palette.color(QPalette::Button));
            edit->setPalette(palette);
            control = edit;
            break;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(this);
            const ControlId id = spec.Id;
            connect(button, &QPushButton::clicked, this, [this, id] { window_.Click(id); });
            button->installEventFilter(this);
            control = button;
            break;
        }
        }
        control->setObjectName(FromView(spec.Name));
        if (spec.Font != nullptr) control->setFont(FontOf(*spec.Font));
        if (spec.HasColour) {
            QPalette palette = control->palette();
            palette.setColor(QPalette::WindowText, QColor(spec.Colour.Red, spec.Colour.Green, spec.Colour.Blue));
            control->setPalette(palette);
        }
        control->setToolTip(ToQString(window::Tooltip(spec.Id)));
        controls_[static_cast<std::size_t>(spec.Id)] = control;
        if (spec.Kind == ControlKind::Label) {
            control->move(spec.Left, spec.Top);
            SetText(spec.Id, window::ShownText(spec.Text));
        } else {
            control->setGeometry(spec.Left, spec.Top, spec.Width, spec.Height);
        }
        control->setVisible(spec.Visible);
    }
    Control(ControlId::Image1)->setAttribute(Qt::WA_OpaquePaintEvent, true);
    Control(ControlId::Image1)->installEventFilter(this);

    const std::vector<ControlId> tabOrder = window::TabOrder();
    for (std::size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(Control(tabOrder[i - 1]), Control(tabOrder[i]));
    DescribeForAccessibility(controls_);
}

std::optional<ControlId> TFlashForm::ControlOf(const QObject* watched) const {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i] == watched) return static_cast<ControlId>(i);
    }
    return std::nullopt;
}

// ---- the form's own events -----------------------------------------------------------------

void TFlashForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    window_.Shown();
}

void TFlashForm::closeEvent(QCloseEvent* event) {
    if (window_.CloseQuery()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TFlashForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The background follows the client area; the form does nothing else on a resize.
    if (QWidget* background = Control(ControlId::Image1)) background->setGeometry(rect());
}

bool TFlashForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Control(ControlId::Image1) && event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        // Once this paint has reached the screen.
        QTimer::singleShot(0, this, &TFlashForm::FirstPainted);
    }
    const std::optional<ControlId> control = ControlOf(watched);
    if (!control) return QWidget::eventFilter(watched, event);
    const ControlKind kind = window::Spec(*control).Kind;
    if (event->type() == QEvent::KeyPress && window_.KeyDown(*control, KeyOf(static_cast<QKeyEvent*>(event)->key()))) {
        return true;
    }
    if (kind == ControlKind::Label) {
        switch (event->type()) {
        case QEvent::MouseMove:
            window_.MouseMove(*control);
            break;
        case QEvent::Leave:
            window_.MouseLeave(*control);
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const auto* label = static_cast<QWidget*>(watched);
            if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
                window_.Click(*control);
            }
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFlashForm::UsbDeviceChanged() { window_.UsbDeviceChanged(); }

// ---- what the window's decisions ask of the face -------------------------------------------

void TFlashForm::SetText(ControlId id, std::u16string_view text) {
    QWidget* control = Control(id);
    switch (window::Spec(id).Kind) {
    case ControlKind::Label:
        control->setFont(FittedFontOf(id, text));
        static_cast<LayoutLabel*>(control)->SetText(ToQString(text));
        break;
    case ControlKind::Edit: static_cast<QLineEdit*>(control)->setText(ToQString(text)); break;
    case ControlKind::PushButton:
        control->setFont(FittedFontOf(id, text));
        static_cast<QPushButton*>(control)->setText(ToQString(text));
        break;
    default: break;
    }
}

void TFlashForm::SetCaption(std::u16string_view caption) { setWindowTitle(ToQString(caption)); }

void TFlashForm::SetTooltip(ControlId id, std::u16string_view text) {
    QWidget* control = controls_[static_cast<std::size_t>(id)];
    control->setToolTip(ToQString(text));
    // The progress bar's tooltip is its accessible value and description too.
    NotifyDescription(control, id);
}

void TFlashForm::SetWidth(ControlId id, int layoutPixels) {
    QWidget* control = Control(id);
    control->resize(layoutPixels, control->height());
    NotifyAccessibility(control, id);
}

void TFlashForm::SetVisible(ControlId id, bool visible) { Control(id)->setVisible(visible); }

void TFlashForm::ShowBox(window::BoxOwner owner, window::BoxIcon icon, std::u16string_view caption,
                         std::u16string_view text) {
    desktop_.MessageBox(owner == window::BoxOwner::Window ? this : nullptr,
                        icon == window::BoxIcon::Error ? BoxIcon::Error : BoxIcon::None, ToQString(caption),
                        ToQString(text));
}

bool TFlashForm::AskBox(std::u16string_view caption, std::u16string_view text) {
    return desktop_.Question(this, ToQString(caption), ToQString(text));
}

std::optional<window::ChosenFile> TFlashForm::OpenFileName(std::u16string_view filter) {
    const std::optional<QString> chosen = desktop_.OpenFileName(this, QtFileFilter(ToQString(filter)));
    if (!chosen) return std::nullopt;
    return window::ChosenFile{FileSystemPath(*chosen), ToU16(*chosen)};
}

void TFlashForm::RequestClose() { close(); }

void TFlashForm::Minimise() { setWindowState(windowState() | Qt::WindowMinimized); }

void TFlashForm::StartSystemMove() { desktop_.StartSystemMove(windowHandle()); }

void TFlashForm::SetHandCursor(bool hand) {
    if (hand) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void TFlashForm::OpenAddress(std::u16string_view address) { desktop_.OpenUrl(QUrl(ToQString(address))); }

void TFlashForm::PaintNow() {
    if (!isVisible()) return;
    // Every control as it is now, the icon just shown included, painted and handed to the
    // window system before the thread blocks: nothing is handled during the pause.
    repaint();
    QGuiApplication::sync();
}

}  // namespace quenfall::ui
