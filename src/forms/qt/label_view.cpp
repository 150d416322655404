#include "forms/qt/label_view.h"

#include "forms/controls.h"
#include "forms/qt/fonts.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimer>
#include <qdrawutil.h>

namespace forms::qt {
namespace {

constexpr int kFlashMs = 150;
constexpr int kBorder = 2;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic;

bool AutoSized(const Control& control) {
    return control.Kind() == ControlKind::Label && static_cast<const Label&>(control).AutoSize();
}

} // namespace

LabelView::LabelView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent)
    : QWidget(parent), View(control, input, scale) {
    setMouseTracking(true);
    if (IsLink())
        setFocusPolicy(Qt::StrongFocus);
}

void LabelView::Mirror(Property what) {
    if (what == Property::Border) {
        MirrorBorder();
        return;
    }
    MirrorCommon(what);
    if (what == Property::Position || what == Property::Caption || what == Property::Font)
        FitCaption();
    if (what == Property::Colours)
        setAutoFillBackground(false); // painted by paintEvent, transparent or not
}

// An auto-sized label is as wide as its caption on one line and as high as the font.
void LabelView::FitCaption() {
    if (!AutoSized(control_))
        return;
    QFontMetrics metrics(font());
    QString text = QString::fromStdString(control_.Caption());
    QRect needed = metrics.boundingRect(QRect(0, 0, 100000, 100000), kTextFlags, text);
    int frame = bordered_ ? 2 * kBorder : 0;
    resize(std::max(needed.width(), 1) + frame,
           std::max(needed.height(), metrics.height()) + frame);
}

void LabelView::MirrorBorder() {
    bool wanted = control_.BorderStyle() != vbBSNone;
    if (wanted == bordered_)
        return;
    bordered_ = wanted;
    if (wanted) {
        borderSince_.start();
    } else if (borderSince_.isValid() && borderSince_.elapsed() < kFlashMs) {
        // Given and taken back within one handler: let the user see it.
        flashing_ = true;
        QTimer::singleShot(kFlashMs, this, [this] {
            flashing_ = false;
            update();
        });
    }
    update();
}

void LabelView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (control_.BackStyle() != vbTransparent)
        p.fillRect(rect(), Colour(control_.BackColor()));
    QRect area = rect();
    if (BorderShown()) {
        qDrawWinPanel(&p, rect(), palette(), true);
        area.adjust(kBorder, kBorder, -kBorder, -kBorder);
    }
    p.setFont(font());
    QString text = QString::fromStdString(control_.Caption());
    int flags = kTextFlags | (AutoSized(control_) ? 0 : Qt::TextWordWrap);
    DrawCaption(p, area, flags, text, Colour(control_.ForeColor()), isEnabled());
    if (!hasFocus())
        return;
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = p.boundingRect(area, flags, text).intersected(rect()).adjusted(-1, 0, 1, 0);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
}

void LabelView::keyPressEvent(QKeyEvent* event) {
    bool activates = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                     event->key() == Qt::Key_Space;
    if (!IsLink() || !activates) {
        QWidget::keyPressEvent(event);
        return;
    }
    Activate();
}

void LabelView::mousePressEvent(QMouseEvent* event) {
    MousePressed(event);
}

void LabelView::mouseReleaseEvent(QMouseEvent* event) {
    MouseReleased(event);
}

void LabelView::mouseMoveEvent(QMouseEvent*) {
    MouseMoved();
}

} // namespace forms::qt
