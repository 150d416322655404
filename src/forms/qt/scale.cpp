#include "forms/qt/scale.h"

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/screen.h"

#include <QGuiApplication>

#include <algorithm>

namespace forms::qt {

Scale Scale::OfScreen(QScreen* screen) {
    Scale scale;
    scale.x = Screen::TwipsPerPixelX();
    scale.y = Screen::TwipsPerPixelY();
    scale.screen = screen;
    if (screen)
        scale.origin = screen->geometry().topLeft();
    QScreen* shown = screen ? screen : QGuiApplication::primaryScreen();
    scale.deviceRatio = shown ? shown->devicePixelRatio() : 1;
    return scale;
}

QRect Scale::Rect(const Control& control) const {
    if (control.Kind() == ControlKind::Line) {
        const auto& line = static_cast<const forms::Line&>(control);
        int x1 = X(line.X1()), x2 = X(line.X2()), y1 = Y(line.Y1()), y2 = Y(line.Y2());
        return QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
                     QPoint(std::max(x1, x2), std::max(y1, y2)));
    }
    return QRect(X(control.Left()), Y(control.Top()), X(control.Width()), Y(control.Height()));
}

QRect Scale::ClientRect(const Form& form) const {
    return QRect(X(form.Left()) + origin.x(), Y(form.Top()) + origin.y(), X(form.ScaleWidth()),
                 Y(form.ScaleHeight()));
}

} // namespace forms::qt
