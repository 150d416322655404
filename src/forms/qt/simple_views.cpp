#include "forms/qt/simple_views.h"

#include "forms/controls.h"
#include "forms/qt/fonts.h"
#include "forms/qt/pointers.h"

#include <QPainter>

namespace forms::qt {

FrameView::FrameView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent)
    : QWidget(parent), View(control, input, scale) {}

void FrameView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Colour(control_.BackColor()));
    p.setFont(font());
    QFontMetrics metrics(font());
    QString caption = QString::fromStdString(control_.Caption());
    if (control_.BorderStyle() != vbBSNone) {
        // The etched line: dark grey, with white one pixel below and right of it.
        int top = metrics.height() / 2;
        QRect line = rect().adjusted(0, top, -2, -2);
        p.setPen(QColor(255, 255, 255));
        p.drawRect(line.translated(1, 1));
        p.setPen(QColor(128, 128, 128));
        p.drawRect(line);
    }
    if (caption.isEmpty())
        return;
    int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextSingleLine;
    QRect text = metrics.boundingRect(QRect(8, 0, width() - 16, metrics.height()), flags, caption);
    p.fillRect(text.adjusted(-1, 0, 1, 0), Colour(control_.BackColor()));
    DrawCaption(p, text, flags, caption, Colour(control_.ForeColor()), isEnabled());
}

LineView::LineView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent)
    : QWidget(parent), View(control, input, scale) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineView::Mirror(Property what) {
    MirrorCommon(what);
    if (what == Property::Position)
        resize(width() + 1, height() + 1); // the end points are drawn too
}

void LineView::paintEvent(QPaintEvent*) {
    const auto& line = static_cast<const forms::Line&>(control_);
    QPainter p(this);
    p.setPen(Colour(line.BorderColor()));
    QPoint origin = pos();
    p.drawLine(QPoint(scale_.X(line.X1()), scale_.Y(line.Y1())) - origin,
               QPoint(scale_.X(line.X2()), scale_.Y(line.Y2())) - origin);
}

ImageView::ImageView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent)
    : QWidget(parent), View(control, input, scale) {}

void ImageView::paintEvent(QPaintEvent*) {
    QPixmap picture =
        PointerPicture(static_cast<const forms::Image&>(control_).Picture(), scale_.deviceRatio);
    if (picture.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(0, 0, picture);
}

} // namespace forms::qt
