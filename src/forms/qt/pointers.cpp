#include "forms/qt/pointers.h"

#include <QPainter>
#include <QPainterPath>

#include <map>

namespace forms::qt {
namespace {

constexpr int kSize = 32;

QPainterPath Rounded(qreal x, qreal y, qreal w, qreal h, qreal r) {
    QPainterPath path;
    path.addRoundedRect(x, y, w, h, r, r);
    return path;
}

// The hand's outline: palm, wrist, thumb and the four fingers; raised lifts the index
// finger, otherwise it is folded like the others.
QPainterPath Hand(bool raised) {
    QPainterPath hand = Rounded(8, 13, 19, 12, 4);
    hand = hand.united(Rounded(11, 22, 13, 8, 2));
    QPainterPath thumb = Rounded(0, 0, 5, 10, 2.5);
    QTransform tilt;
    tilt.translate(3, 14);
    tilt.rotate(-35);
    hand = hand.united(tilt.map(thumb));
    if (raised)
        hand = hand.united(Rounded(10, 1, 5, 16, 2.5));
    else
        hand = hand.united(Rounded(10, 8, 5, 9, 2.5));
    hand = hand.united(Rounded(15, 7, 4, 9, 2));
    hand = hand.united(Rounded(19, 8, 4, 8, 2));
    hand = hand.united(Rounded(23, 9, 4, 8, 2));
    return hand.simplified();
}

QPixmap Draw(bool raised, qreal deviceRatio) {
    QPixmap picture(QSize(kSize, kSize) * deviceRatio);
    picture.setDevicePixelRatio(deviceRatio);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(Hand(raised));
    // The folds between the fingers.
    p.drawLine(15, 11, 15, 15);
    p.drawLine(19, 11, 19, 15);
    p.drawLine(23, 12, 23, 15);
    return picture;
}

struct Pointer {
    bool raised;
    QPoint hotSpot;
};

const std::map<std::string, Pointer>& Pointers() {
    static const std::map<std::string, Pointer> pointers = {
        {"hand_pointing", {true, QPoint(12, 1)}},
        {"hand_pressed", {false, QPoint(16, 16)}},
    };
    return pointers;
}

} // namespace

QPixmap PointerPicture(const std::string& name, qreal deviceRatio) {
    auto it = Pointers().find(name);
    if (it == Pointers().end())
        return QPixmap();
    return Draw(it->second.raised, deviceRatio);
}

std::optional<QCursor> PointerCursor(const std::string& name, qreal deviceRatio) {
    auto it = Pointers().find(name);
    if (it == Pointers().end())
        return std::nullopt;
    return QCursor(Draw(it->second.raised, deviceRatio), it->second.hotSpot.x(),
                   it->second.hotSpot.y());
}

} // namespace forms::qt
