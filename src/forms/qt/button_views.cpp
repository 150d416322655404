#include "forms/qt/button_views.h"

#include "forms/controls.h"
#include "forms/qt/fonts.h"

#include <QAccessible>
#include <QPainter>
#include <QStyleOptionButton>

namespace forms::qt {
namespace {

constexpr int kIndicator = 13; // the classic check box square
constexpr int kIndicatorGap = 4;

QString Caption(const Control& control) {
    return QString::fromStdString(control.Caption());
}

} // namespace

CommandButtonView::CommandButtonView(Control& control, InputQueue& input, const Scale& scale,
                                     QWidget* parent)
    : QPushButton(parent), View(control, input, scale) {
    setAutoDefault(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QPushButton::clicked, this, [this] { Push(UserAction::Kind::Click); });
}

void CommandButtonView::Mirror(Property what) {
    MirrorCommon(what);
    if (what == Property::Caption)
        setText(Caption(control_)); // also the access key
    if (what == Property::Caption || what == Property::Position) {
        auto& button = static_cast<CommandButton&>(control_);
        setDefault(button.Default());
    }
}

void CommandButtonView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
    QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (isDown())
        area.translate(1, 1);
    int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    p.setFont(font());
    DrawCaption(p, area, flags, text(), palette().color(QPalette::ButtonText), isEnabled());
    if (!hasFocus())
        return;
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
}

CheckBoxView::CheckBoxView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent)
    : QAbstractButton(parent), View(control, input, scale) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, [this] { Push(UserAction::Kind::Click); });
}

void CheckBoxView::Mirror(Property what) {
    MirrorCommon(what);
    if (what == Property::Caption)
        setText(Caption(control_));
    if (what == Property::Value) {
        update();
        QAccessible::State changed;
        changed.checked = true;
        changed.checkStateMixed = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void CheckBoxView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (control_.BackStyle() != vbTransparent)
        p.fillRect(rect(), Colour(control_.BackColor()));
    QStyleOptionButton box;
    box.initFrom(this);
    box.rect = QRect(0, (height() - kIndicator) / 2, kIndicator, kIndicator);
    int value = static_cast<CheckBox&>(control_).Value();
    box.state |= value == vbChecked  ? QStyle::State_On
                 : value == vbGrayed ? QStyle::State_NoChange
                                     : QStyle::State_Off;
    if (isDown())
        box.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, &p, this);

    QRect area = rect().adjusted(kIndicator + kIndicatorGap, 0, 0, 0);
    int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    p.setFont(font());
    QRect used = p.boundingRect(area, flags, text()).intersected(area);
    DrawCaption(p, area, flags, text(), Colour(control_.ForeColor()), isEnabled());
    if (!hasFocus())
        return;
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = used.adjusted(-1, 0, 1, 0);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
}

} // namespace forms::qt
