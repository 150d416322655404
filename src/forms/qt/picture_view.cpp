#include "forms/qt/picture_view.h"

#include "forms/qt/drawing_painter.h"

#include <QPainter>
#include <qdrawutil.h>

namespace forms::qt {

PictureView::PictureView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent)
    : QWidget(parent), View(control, input, scale) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QPoint origin = ClientOrigin(control_);
    QRect client = rect().adjusted(origin.x(), origin.y(), -origin.x(), -origin.y());
    const auto& box = static_cast<const PictureBox&>(control_);
    p.drawImage(client.topLeft(), PaintDrawing(box, client.size(), scale_));
    if (origin != QPoint())
        qDrawWinPanel(&p, rect(), palette(), true);
}

} // namespace forms::qt
