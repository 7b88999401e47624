#include "ui/qt/qt_shop_form.h"

#include <QCheckBox>
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
#include "window/shop_layout.h"
#include "window/shop_texts.h"
#include "window/window_texts.h"

namespace quenfall::ui {
namespace {

using window::RowOutcome;
using window::ShopCell;
using window::ShopColumns;
using window::ShopControl;
using window::ShopControlKind;

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

// The radio list: its columns as the layout table has them.
QTableWidget* MakeRadioTable(QWidget* parent) {
    auto* table = new QTableWidget(0, static_cast<int>(ShopColumns.size()), parent);
    QStringList headings;
    for (const window::ShopColumnSpec& column : ShopColumns) headings << ToQString(window::ShownText(column.Heading));
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setVisible(false);
    table->setWordWrap(false);
    QHeaderView* header = table->horizontalHeader();
    for (std::size_t c = 0; c < ShopColumns.size(); ++c) {
        const int index = static_cast<int>(c);
        if (ShopColumns[c].Cell == ShopCell::ProgressBar) table->setItemDelegateForColumn(index, new ProgressDelegate(table));
        if (ShopColumns[c].Cell == ShopCell::OutcomeIcon) table->setItemDelegateForColumn(index, new OutcomeDelegate(table));
        if (ShopColumns[c].Width == 0) {
            header->setSectionResizeMode(index, QHeaderView::Stretch);
        } else {
            header->resizeSection(index, ShopColumns[c].Width);
        }
    }
    return table;
}

}  // namespace

TShopForm::TShopForm(DesktopServices& desktop, Options options) : desktop_(desktop), options_(std::move(options)) {
    auto* layout = new QVBoxLayout(this);
    QHBoxLayout* line = nullptr;
    int lineNumber = -1;
    for (const window::ShopControlSpec& spec : window::ShopControls) {
        QWidget* control = nullptr;
        switch (spec.Kind) {
        case ShopControlKind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setReadOnly(true);
            control = edit;
            break;
        }
        case ShopControlKind::Button: control = Button(this); break;
        case ShopControlKind::Text: {
            auto* text = new QLabel(this);
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            control = text;
            break;
        }
        case ShopControlKind::List: control = table_ = MakeRadioTable(this); break;
        case ShopControlKind::Check: control = new QCheckBox(this); break;
        }
        controls_[static_cast<std::size_t>(spec.Id)] = control;
        if (spec.Line != lineNumber) {
            lineNumber = spec.Line;
            line = new QHBoxLayout;
            layout->addLayout(line, spec.Kind == ShopControlKind::List ? 1 : 0);
        }
        if (!spec.Label.empty()) {
            control->setAccessibleName(ToQString(window::ShownText(spec.Label)));
            auto* label = new QLabel(ToQString(window::ShownText(spec.Label)), this);
            label->setBuddy(control);
            // The list's label heads it; any other stands before its control.
            if (spec.Kind == ShopControlKind::List) {
                layout->insertWidget(layout->count() - 1, label);
            } else {
                line->addWidget(label);
            }
        }
        line->addWidget(control, spec.Stretches ? 1 : 0);
    }

    for (std::size_t i = 1; i < window::ShopTabOrder.size(); ++i) {
        setTabOrder(Control(window::ShopTabOrder[i - 1]), Control(window::ShopTabOrder[i]));
    }

    for (QWidget* control : controls_) control->installEventFilter(this);
    for (const window::ShopControlSpec& spec : window::ShopControls) {
        if (spec.Kind != ShopControlKind::Button && spec.Kind != ShopControlKind::Check) continue;
        connect(static_cast<QAbstractButton*>(Control(spec.Id)), &QAbstractButton::clicked, this, [this, id = spec.Id] {
            if (window_) window_->Click(id);
        });
    }
    refresh_.setInterval(static_cast<int>(window::ShopRefreshInterval.count()));
    connect(&refresh_, &QTimer::timeout, this, [this] {
        if (window_) window_->Refresh();
    });
    resize(window::ShopOpenWidth, window::ShopOpenHeight);
    setMinimumSize(window::ShopLeastWidth, window::ShopLeastHeight);
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
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToQString(text));
    }
}

void TShopForm::SetEnabled(ShopControl control, bool enabled) { Control(control)->setEnabled(enabled); }

void TShopForm::SetChecked(ShopControl control, bool checked) {
    if (auto* box = qobject_cast<QAbstractButton*>(Control(control))) box->setChecked(checked);
}

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
    for (std::size_t c = 0; c < ShopColumns.size(); ++c) {
        QTableWidgetItem* item = cell(static_cast<int>(c));
        switch (ShopColumns[c].Cell) {
        case ShopCell::Text: item->setText(ToQString(window::CellText(row, ShopColumns[c].Id))); break;
        case ShopCell::ProgressBar:
            item->setData(PaintedValueRole, row.ProgressWidth);
            item->setData(Qt::AccessibleTextRole, PercentText(row.ProgressWidth));
            break;
        case ShopCell::OutcomeIcon:
            item->setData(PaintedValueRole, static_cast<int>(row.Outcome));
            item->setData(Qt::AccessibleTextRole,
                          row.Outcome == RowOutcome::Success   ? ToQString(window::ShownText(window::SuccessIconDescription))
                          : row.Outcome == RowOutcome::Failure ? ToQString(window::ShownText(window::FailureIconDescription))
                                                               : QString());
            break;
        }
    }
}

void TShopForm::ShowBox(window::BoxIcon icon, std::u16string_view caption, std::u16string_view text) {
    desktop_.MessageBox(this, icon == window::BoxIcon::Error ? BoxIcon::Error : BoxIcon::None, ToQString(caption),
                        ToQString(text));
}

bool TShopForm::AskBox(std::u16string_view caption, std::u16string_view text) {
    return desktop_.Question(this, ToQString(caption), ToQString(text));
}

std::optional<window::ChosenFile> TShopForm::OpenFileName(std::u16string_view filter) {
    const std::optional<QString> chosen = desktop_.OpenFileName(this, QtFileFilter(ToQString(filter)));
    if (!chosen) return std::nullopt;
    return window::ChosenFile{FileSystemPath(*chosen), ToU16(*chosen)};
}

std::optional<window::ChosenFile> TShopForm::SaveFileName(std::u16string_view filter, std::u16string_view suggested) {
    const std::optional<QString> chosen =
        desktop_.SaveFileName(this, QtFileFilter(ToQString(filter)), ToQString(suggested));
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

void TShopForm::Post(std::function<void()> task) {
    // A queued call: run by the event loop, a modal box's included, and dropped with the form.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace quenfall::ui
