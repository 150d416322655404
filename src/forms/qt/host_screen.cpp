#include "forms/qt/host_screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <array>

namespace forms::qt {

bool HasRealScreen() {
    QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

QScreen* DisplayScreen() {
    if (!HasRealScreen())
        return nullptr;
    if (QScreen* under = QGuiApplication::screenAt(QCursor::pos()))
        return under;
    return QGuiApplication::primaryScreen();
}

win::HostScreen HostScreenOf(const QRect& geometry, const QRect& available, int depth) {
    win::HostScreen screen;
    screen.width = geometry.width();
    screen.height = geometry.height();
    screen.bitsPerPixel = depth;
    QRect free = available.intersected(geometry).translated(-geometry.topLeft());
    if (free.isEmpty())
        return screen;
    const LONG w = screen.width, h = screen.height;
    // Each edge's strip: its thickness, and its rectangle on the screen.
    const std::array<std::pair<int, RECT>, 4> strips = {{
        {free.top(), RECT{0, 0, w, free.top()}},
        {h - 1 - free.bottom(), RECT{0, free.bottom() + 1, w, h}},
        {free.left(), RECT{0, 0, free.left(), h}},
        {w - 1 - free.right(), RECT{free.right() + 1, 0, w, h}},
    }};
    int thickest = 0;
    for (const auto& [thickness, rect] : strips) {
        if (thickness > thickest) {
            thickest = thickness;
            screen.taskbar = rect;
        }
    }
    return screen;
}

} // namespace forms::qt
