#include "ui/qt/qt_accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include "ui/qt/qt_texts.h"
#include "window/window_accessibility.h"

namespace quenfall::ui {
namespace {

using window::AccessibleRole;
using window::ControlId;

constexpr char FormName[] = "FlashForm";

bool IsForm(const QObject* object) { return object != nullptr && object->objectName() == QLatin1String(FormName); }

// The controls are known by their layout names, as children of the form. A control's
// interface can be asked for as soon as it shows a text, before the form has described it.
std::optional<ControlId> ControlOf(const QObject* object) {
    if (!IsForm(object->parent())) return std::nullopt;
    const QString name = object->objectName();
    for (const window::ControlSpec& spec : window::Layout()) {
        if (name == QLatin1String(spec.Name.data(), static_cast<qsizetype>(spec.Name.size()))) return spec.Id;
    }
    return std::nullopt;
}

// The window: a frame, as screen readers expect of an application's window (a plain
// top-level widget would be a filler). Giving it the focus activates it; the control that
// had the focus, or the first in the tab order, takes it again.
class AccessibleForm : public QAccessibleWidget {
public:
    explicit AccessibleForm(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Window) {}

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (!names.contains(setFocusAction())) names << setFocusAction();
        return names;
    }
    void doAction(const QString& actionName) override {
        if (actionName == setFocusAction()) {
            widget()->activateWindow();
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }
};

// The progress bar is a picture whose width follows the upload; its value is that width in
// percent of a finished upload's. Its box is the whole track, even while the bar is empty,
// so a reader can find it before the first block.
class AccessibleProgressBar : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleProgressBar(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        return state;
    }
    QRect rect() const override {
        const window::ControlSpec& spec = window::Spec(window::ControlId::Image3);
        const QWidget* bar = widget();
        if (!bar->isVisible() || bar->parentWidget() == nullptr) return QAccessibleWidget::rect();
        return QRect(bar->parentWidget()->mapToGlobal(QPoint(spec.Left, spec.Top)), QSize(spec.Width, spec.Height));
    }

    // The value is the bar's share; its description is the run's percent, time left and
    // phase, as the bar's tooltip says them.
    QString text(QAccessible::Text type) const override {
        const QString told = widget()->toolTip();
        if (type == QAccessible::Description && !told.isEmpty()) return told;
        return QAccessibleWidget::text(type);
    }
    QVariant currentValue() const override { return window::ProgressPercent(widget()->width()); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

// The success and failure icons: images whose name and description say what they mean.
class AccessibleIcon : public QAccessibleWidget {
public:
    explicit AccessibleIcon(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Graphic) {}
};

// A label with a role of its own: the status line (a status bar, whose every new text is
// announced) or the link. Its name is the text it shows.
class AccessibleRoleLabel : public QAccessibleWidget {
public:
    AccessibleRoleLabel(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return static_cast<const QLabel*>(widget())->text();
        }
        return QAccessibleWidget::text(type);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || className != QLatin1String(object->metaObject()->className())) return nullptr;
    if (IsForm(object) && widget->isWindow()) return new AccessibleForm(widget);
    const std::optional<ControlId> id = ControlOf(object);
    if (!id) return nullptr;
    switch (window::Accessible(*id).Role) {
    case AccessibleRole::ProgressBar: return new AccessibleProgressBar(widget);
    case AccessibleRole::Image: return new AccessibleIcon(widget);
    case AccessibleRole::StatusLine:
        if (qobject_cast<QLabel*>(widget) != nullptr) return new AccessibleRoleLabel(widget, QAccessible::StatusBar);
        return nullptr;
    case AccessibleRole::Link:
        if (qobject_cast<QLabel*>(widget) != nullptr) return new AccessibleRoleLabel(widget, QAccessible::Link);
        return nullptr;
    default: return nullptr;
    }
}

}  // namespace

void InstallAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

void DescribeForAccessibility(std::span<QWidget* const, window::ControlCount> controls) {
    for (const window::ControlSpec& spec : window::Layout()) {
        QWidget* control = controls[static_cast<std::size_t>(spec.Id)];
        const window::AccessibleSpec& accessible = window::Accessible(spec.Id);
        if (!accessible.Name.empty()) control->setAccessibleName(ToQString(window::ShownText(accessible.Name)));
        if (!accessible.Description.empty()) {
            control->setAccessibleDescription(ToQString(window::ShownText(accessible.Description)));
        }
        // A label's buddy takes its text as name and is "labelled by" it; the label shows no
        // mnemonic, so nothing changes on the screen.
        if (accessible.LabelledBy) {
            if (auto* label = qobject_cast<QLabel*>(controls[static_cast<std::size_t>(*accessible.LabelledBy)])) {
                label->setBuddy(control);
            }
        }
    }
}

void NotifyAccessibility(QWidget* control, ControlId id) {
    if (!QAccessible::isActive() || window::Accessible(id).Role != AccessibleRole::ProgressBar) return;
    QAccessibleValueChangeEvent event(control, window::ProgressPercent(control->width()));
    QAccessible::updateAccessibility(&event);
}

void NotifyDescription(QWidget* control, ControlId id) {
    if (!QAccessible::isActive() || window::Accessible(id).Role != AccessibleRole::ProgressBar) return;
    QAccessibleEvent event(control, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

}  // namespace quenfall::ui
