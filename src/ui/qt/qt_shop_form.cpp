#include "ui/qt/qt_shop_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/qt/qt_pictures.h"
#include "ui/qt/qt_texts.h"
#include "upgrade/upgrade_sequencer.h"
#include "window/shop_texts.h"

namespace quenfall::ui {
namespace {

using window::RowOutcome;
using window::ShopControl;

enum Column { LocationColumn, NodeColumn, StatusColumn, ProgressColumn, ElapsedColumn, OutcomeColumn, ColumnCount };

// The value a painted cell is drawn from.
constexpr int PaintedValueRole = Qt::UserRole + 1;

// The progress column: the main window's bar, as wide as the run has gone.
class ProgressDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, QModelIndex());
        const int width = index.data(PaintedValueRole).toInt();
        if (width <= 0) return;
        const QRectF cell = QRectF(option.rect).adjusted(3, 4, -3, -4);
        QRectF bar = cell;
        bar.setWidth(cell.width() * std::min(width, ProgressFullWidth) / ProgressFullWidth);
        painter->save();
        painter->setPen(QColor(0x9a, 0xb4, 0xd0));
        painter->drawRect(cell);
        PaintProgressBar(*painter, bar);
        painter->restore();
    }
};

// The outcome column: the main window's success or failure icon, a square in the cell.
class OutcomeDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, QModelIndex());
        const auto outcome = static_cast<RowOutcome>(index.data(PaintedValueRole).toInt());
        if (outcome == RowOutcome::None) return;
        const qreal side = std::min(option.rect.width(), option.rect.height()) - 4;
        const QRectF icon(option.rect.left() + (option.rect.width() - side) / 2,
                          option.rect.top() + (option.rect.height() - side) / 2, side, side);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (outcome == RowOutcome::Success) {
            PaintSuccessIcon(*painter, icon);
        } else {
            PaintFailureIcon(*painter, icon);
        }
        painter->restore();
    }
};

QString PercentText(int width) {
    return QString::number(std::clamp(width, 0, ProgressFullWidth) * 100 / ProgressFullWidth) + QStringLiteral(" %");
}

QPushButton* Button(QWidget* parent) {
    auto* button = new QPushButton(parent);
    // Enter is the window's to decide (ShopWindow::KeyDown), not the button's.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TShopForm::TShopForm(DesktopServices& desktop, Options options) : desktop_(desktop), options_(std::move(options)) {
    auto* path = new QLineEdit(this);
    path->setReadOnly(true);
    path->setAccessibleName(ToQString(window::PackagePathName));
    auto* select = Button(this);
    auto* verdict = new QLabel(this);
    verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setAccessibleName(ToQString(window::RadioListName));
    table_->setHorizontalHeaderLabels({ToQString(window::LocationHeading), ToQString(window::NodeHeading),
                                       ToQString(window::StatusHeading), ToQString(window::ProgressHeading),
                                       ToQString(window::ElapsedHeading), ToQString(window::OutcomeHeading)});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    table_->setWordWrap(false);
    table_->setItemDelegateForColumn(ProgressColumn, new ProgressDelegate(table_));
    table_->setItemDelegateForColumn(OutcomeColumn, new OutcomeDelegate(table_));
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(StatusColumn, QHeaderView::Stretch);
    header->resizeSection(LocationColumn, 90);
    header->resizeSection(NodeColumn, 90);
    header->resizeSection(ProgressColumn, 160);
    header->resizeSection(ElapsedColumn, 60);
    header->resizeSection(OutcomeColumn, 60);
    auto* summary = new QLabel(this);
    auto* upgradeAll = Button(this);
    auto* retry = Button(this);

    controls_ = {path, select, verdict, table_, summary, upgradeAll, retry};

    auto* packageRow = new QHBoxLayout;
    packageRow->addWidget(path, 1);
    packageRow->addWidget(select);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary, 1);
    buttons->addWidget(upgradeAll);
    buttons->addWidget(retry);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(packageRow);
    layout->addWidget(verdict);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);

    for (std::size_t i = 1; i < window::ShopTabOrder.size(); ++i) {
        setTabOrder(Control(window::ShopTabOrder[i - 1]), Control(window::ShopTabOrder[i]));
    }

    for (QWidget* control : controls_) control->installEventFilter(this);
    connect(select, &QPushButton::clicked, this, [this] {
        if (window_) window_->Click(ShopControl::SelectButton);
    });
    connect(upgradeAll, &QPushButton::clicked, this, [this] {
        if (window_) window_->Click(ShopControl::UpgradeAllButton);
    });
    connect(retry, &QPushButton::clicked, this, [this] {
        if (window_) window_->Click(ShopControl::RetryFailedButton);
    });
    refresh_.setInterval(static_cast<int>(window::ShopRefreshInterval.count()));
    connect(&refresh_, &QTimer::timeout, this, [this] {
        if (window_) window_->Refresh();
    });
    resize(860, 420);
}

TShopForm::~TShopForm() = default;

void TShopForm::Attach(window::ShopWindow& window) {
    window_ = &window;
    if (options_.RegisterWatch) {
        DeviceRegistration registration = options_.RegisterWatch(*this, [this] {
            if (window_) window_->UsbDeviceChanged();
        });
        notifier_ = std::move(registration.Notifier);
    }
}

void TShopForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (window_) window_->Shown();
}

void TShopForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (painted_) return;
    painted_ = true;
    // After this paint has reached the screen.
    QTimer::singleShot(0, this, [this] { emit FirstPainted(); });
}

void TShopForm::closeEvent(QCloseEvent* event) {
    if (window_ && !window_->CloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
}

std::optional<ShopControl> TShopForm::ControlOf(const QObject* watched) const {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i] == watched) return static_cast<ShopControl>(i);
    }
    // The table's cells are its viewport's.
    if (watched == table_->viewport()) return ShopControl::RadioList;
    return std::nullopt;
}

bool TShopForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && window_) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (const auto control = ControlOf(watched)) {
            const window::Key pressed =
                key == Qt::Key_Return || key == Qt::Key_Enter ? window::Key::Enter : window::Key::Other;
            if (window_->KeyDown(*control, pressed)) return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- ShopFace ------------------------------------------------------------------------------

void TShopForm::SetCaption(std::u16string_view caption) { setWindowTitle(ToQString(caption)); }

void TShopForm::SetText(ShopControl control, std::u16string_view text) {
    QWidget* widget = Control(control);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(ToQString(text));
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(ToQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToQString(text));
    }
}

void TShopForm::SetEnabled(ShopControl control, bool enabled) { Control(control)->setEnabled(enabled); }

void TShopForm::SetDefaultButton(ShopControl button) {
    for (ShopControl c : {ShopControl::SelectButton, ShopControl::UpgradeAllButton, ShopControl::RetryFailedButton}) {
        if (auto* b = qobject_cast<QPushButton*>(Control(c))) b->setDefault(c == button);
    }
}

void TShopForm::SetFocus(ShopControl control) { Control(control)->setFocus(Qt::OtherFocusReason); }

void TShopForm::SetRowCount(std::size_t rows) { table_->setRowCount(static_cast<int>(rows)); }

void TShopForm::SetRow(std::size_t index, const window::ShopRowView& row) {
    const int r = static_cast<int>(index);
    const auto cell = [&](int column) {
        QTableWidgetItem* item = table_->item(r, column);
        if (!item) {
            item = new QTableWidgetItem;
            table_->setItem(r, column, item);
        }
        return item;
    };
    cell(LocationColumn)->setText(ToQString(row.Location));
    cell(NodeColumn)->setText(ToQString(row.Node));
    cell(StatusColumn)->setText(ToQString(row.Status));
    QTableWidgetItem* progress = cell(ProgressColumn);
    progress->setData(PaintedValueRole, row.ProgressWidth);
    progress->setData(Qt::AccessibleTextRole, PercentText(row.ProgressWidth));
    cell(ElapsedColumn)->setText(ToQString(row.Elapsed));
    QTableWidgetItem* outcome = cell(OutcomeColumn);
    outcome->setData(PaintedValueRole, static_cast<int>(row.Outcome));
    outcome->setData(Qt::AccessibleTextRole,
                     row.Outcome == RowOutcome::Success   ? ToQString(window::SuccessIconDescription)
                     : row.Outcome == RowOutcome::Failure ? ToQString(window::FailureIconDescription)
                                                          : QString());
}

void TShopForm::ShowBox(window::BoxIcon icon, std::u16string_view caption, std::u16string_view text) {
    desktop_.MessageBox(this, icon == window::BoxIcon::Error ? BoxIcon::Error : BoxIcon::None, ToQString(caption),
                        ToQString(text));
}

std::optional<window::ChosenFile> TShopForm::OpenFileName(std::u16string_view filter) {
    const std::optional<QString> chosen = desktop_.OpenFileName(this, QtFileFilter(ToQString(filter)));
    if (!chosen) return std::nullopt;
    return window::ChosenFile{FileSystemPath(*chosen), ToU16(*chosen)};
}

void TShopForm::SetRefreshTimer(bool on) {
    if (on) {
        refresh_.start();
    } else {
        refresh_.stop();
    }
}

}  // namespace quenfall::ui
