#include "forms/qt/scale.h"

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/screen.h"

#include <algorithm>

namespace forms::qt {

Scale Scale::OfScreen() {
    return Scale{Screen::TwipsPerPixelX(), Screen::TwipsPerPixelY()};
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
    return QRect(X(form.Left()), Y(form.Top()), X(form.ScaleWidth()), Y(form.ScaleHeight()));
}

} // namespace forms::qt
