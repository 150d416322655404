#include "forms/qt/accessibility.h"

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/picture_box.h"
#include "forms/qt/view.h"

#include <QAbstractButton>
#include <QAccessibleWidget>

#include <algorithm>
#include <optional>

namespace forms::qt {
namespace {

// A caption as read out: "&Weiter >" is "Weiter >", "&&" an ampersand.
std::string WithoutAccessKey(const std::string& caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        out += caption[i];
    }
    return out;
}

bool HasOwnCaption(ControlKind kind) {
    switch (kind) {
    case ControlKind::Form:
    case ControlKind::Label:
    case ControlKind::CommandButton:
    case ControlKind::CheckBox:
    case ControlKind::Frame:
        return true;
    default:
        return false;
    }
}

bool HoldsControls(const Control& container) {
    for (const Control* c : container.Parent().Controls()) {
        if (c->Container() == &container)
            return true;
    }
    return false;
}

bool LabelBeside(const Control& c, const Control& control) {
    return c.Kind() == ControlKind::Label && c.Container() == control.Container();
}

// The label of control's container made last before it.
const Control* LabelBefore(const Control& control) {
    const Control* last = nullptr;
    for (const Control* c : control.Parent().Controls()) {
        if (c == &control)
            return last;
        if (LabelBeside(*c, control))
            last = c;
    }
    return nullptr;
}

// The label of control's container made first after it.
const Control* LabelAfter(const Control& control) {
    const auto& all = control.Parent().Controls();
    auto it = std::find(all.begin(), all.end(), &control);
    if (it == all.end())
        return nullptr;
    auto next = std::find_if(std::next(it), all.end(),
                             [&](const Control* c) { return LabelBeside(*c, control); });
    return next == all.end() ? nullptr : *next;
}

// A label or picture box as assistive technology sees it; the rest keep Qt's interfaces.
class AccessibleControl : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleControl(QWidget* widget) : QAccessibleWidget(widget) {}

    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType t) override;
    QStringList actionNames() const override;
    void doAction(const QString& action) override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant&) override {} // the program draws the bar
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const Control* Model() const {
        auto* view = dynamic_cast<View*>(widget());
        return view ? &view->control() : nullptr;
    }
    std::optional<int> Percent() const;
    bool IsLink() const;
};

std::optional<int> AccessibleControl::Percent() const {
    const Control* c = Model();
    if (!c || c->Kind() != ControlKind::PictureBox)
        return std::nullopt;
    return ShownPercentage(static_cast<const PictureBox&>(*c));
}

bool AccessibleControl::IsLink() const {
    const Control* c = Model();
    return c && c->Kind() == ControlKind::Label && (c->OnClick || c->OnMouseUp);
}

QAccessible::Role AccessibleControl::role() const {
    const Control* c = Model();
    if (!c)
        return QAccessible::NoRole;
    switch (c->Kind()) {
    case ControlKind::Label:
        return IsLink() ? QAccessible::Link : QAccessible::StaticText;
    case ControlKind::CheckBox:
        return QAccessible::CheckBox;
    case ControlKind::Frame:
        return QAccessible::Grouping;
    case ControlKind::Image:
        return QAccessible::Graphic;
    case ControlKind::Line:
        return QAccessible::Separator;
    case ControlKind::PictureBox:
        if (Percent())
            return QAccessible::ProgressBar;
        return HoldsControls(*c) ? QAccessible::Pane : QAccessible::Graphic;
    default:
        return QAccessibleWidget::role();
    }
}

QAccessible::State AccessibleControl::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    const Control* c = Model();
    if (c && c->Kind() == ControlKind::CheckBox) {
        int value = static_cast<const CheckBox&>(*c).Value();
        state.checkable = true;
        state.checked = value == vbChecked;
        state.checkStateMixed = value == vbGrayed;
    }
    if (IsLink())
        state.linked = true;
    if (Percent())
        state.readOnly = true;
    return state;
}

QString AccessibleControl::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) {
        if (auto percent = Percent())
            return QString::number(*percent) + "%";
    }
    return QAccessibleWidget::text(t);
}

void* AccessibleControl::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::ValueInterface && Percent())
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QStringList AccessibleControl::actionNames() const {
    const Control* c = Model();
    if (IsLink())
        return {pressAction()};
    if (c && c->Kind() == ControlKind::CheckBox)
        return {toggleAction()};
    return QAccessibleWidget::actionNames();
}

void AccessibleControl::doAction(const QString& action) {
    if (!widget()->isEnabled())
        return;
    if (action == pressAction() && IsLink()) {
        dynamic_cast<View&>(*widget()).Activate();
        return;
    }
    if (action == toggleAction()) {
        if (auto* box = qobject_cast<QAbstractButton*>(widget()))
            box->click();
        return;
    }
    QAccessibleWidget::doAction(action);
}

QVariant AccessibleControl::currentValue() const {
    auto percent = Percent();
    return percent ? QVariant(*percent) : QVariant();
}

QAccessibleInterface* Factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    auto* view = dynamic_cast<View*>(widget);
    if (!view)
        return nullptr;
    switch (view->control().Kind()) {
    case ControlKind::Label:
    case ControlKind::CheckBox:
    case ControlKind::Frame:
    case ControlKind::Image:
    case ControlKind::Line:
    case ControlKind::PictureBox:
        return new AccessibleControl(widget);
    default:
        return nullptr; // Qt's own: buttons, text box, lists, windows
    }
}

} // namespace

void InstallAccessibility() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(Factory);
}

std::string AccessibleName(const Control& control) {
    if (HasOwnCaption(control.Kind()))
        return WithoutAccessKey(control.Caption());
    if (const Control* label = LabelBefore(control))
        return WithoutAccessKey(label->Caption());
    if (const Control* container = control.Container())
        return WithoutAccessKey(container->Caption());
    return control.Parent().Caption();
}

std::string AccessibleDescription(const Control& control) {
    // Qt names a combo box by its value where screen readers speak AT-SPI.
    if (control.Kind() == ControlKind::DriveListBox)
        return AccessibleName(control);
    if (control.Kind() != ControlKind::PictureBox)
        return {};
    const Control* label = LabelAfter(control);
    return label ? label->Caption() : std::string();
}

} // namespace forms::qt
