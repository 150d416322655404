#include "forms/qt/drawing_painter.h"

#include "forms/qt/fonts.h"
#include "forms/qt/view.h"

#include <QFontMetrics>
#include <QPainter>

namespace forms::qt {
namespace {

// The classic drawing modes (1 to 16) as Qt's raster operations.
QPainter::CompositionMode ModeFor(int drawMode) {
    switch (drawMode) {
    case 1: // black
        return QPainter::RasterOp_ClearDestination;
    case 6: // invert
        return QPainter::RasterOp_NotDestination;
    case 7: // xor pen
        return QPainter::RasterOp_SourceXorDestination;
    case 9: // mask pen
        return QPainter::RasterOp_SourceAndDestination;
    case 10: // not-xor pen
        return QPainter::RasterOp_NotSourceXorDestination;
    case 15: // merge pen
        return QPainter::RasterOp_SourceOrDestination;
    case 16: // white
        return QPainter::RasterOp_SetDestination;
    default: // 13 copy pen, and the rest drawn as copies
        return QPainter::CompositionMode_SourceOver;
    }
}

void PaintText(QPainter& p, const Drawing& d, const Scale& scale) {
    QFont font = QtFont(d.font, scale);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setFont(font);
    p.setPen(Colour(d.colour));
    QFontMetrics metrics(font);
    // The position is the top left of the text's cell.
    QPoint at(scale.X(d.x1), scale.Y(d.y1) + metrics.ascent());
    QString text = QString::fromStdString(d.text);
    p.drawText(at, text);
    if (Overstruck(font))
        p.drawText(at + QPoint(1, 0), text);
}

void PaintBox(QPainter& p, const Drawing& d, const Scale& scale) {
    QRect box(QPoint(scale.X(std::min(d.x1, d.x2)), scale.Y(std::min(d.y1, d.y2))),
              QPoint(scale.X(std::max(d.x1, d.x2)), scale.Y(std::max(d.y1, d.y2))));
    p.setCompositionMode(ModeFor(d.drawMode));
    p.fillRect(box, Colour(d.colour));
}

} // namespace

QImage PaintDrawing(const PictureBox& box, QSize size, const Scale& scale) {
    // Drawn in device pixels, so that text and bar stay sharp on a denser screen.
    QSize pixels = (size.expandedTo(QSize(1, 1)).toSizeF() * scale.deviceRatio).toSize();
    QImage image(pixels, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale.deviceRatio);
    image.fill(Colour(box.BackColor()));
    QPainter p(&image);
    for (const Drawing& d : box.Drawings()) {
        if (d.kind == Drawing::Kind::Text)
            PaintText(p, d, scale);
        else if (d.kind == Drawing::Kind::FilledBox)
            PaintBox(p, d, scale);
    }
    return image;
}

} // namespace forms::qt
