// Twips to pixels for the program's windows, at the machine's twips per pixel (15 at the
// classic 96 dots per inch), and where the program's screen lies: pixels are Qt's
// device-independent ones, so a screen drawing at twice the density (device pixel ratio
// 2) shows every window at twice the size with the same geometry. Read once when the
// interface starts.
#pragma once

#include <QPointer>
#include <QRect>
#include <QScreen>

#include <cmath>

namespace forms {
class Control;
class Form;
} // namespace forms

namespace forms::qt {

struct Scale {
    float x = 15;
    float y = 15;
    // The screen the windows open on (null: Qt's choice) and its top left corner on the
    // desktop, where the program's screen coordinates start.
    QPointer<QScreen> screen;
    QPoint origin;
    // Device pixels per pixel, for what is drawn into pictures and how fonts are chosen.
    qreal deviceRatio = 1;

    // The machine's screen, as the program's Screen object gives it, shown on screen.
    static Scale OfScreen(QScreen* screen = nullptr);

    int X(float twips) const { return static_cast<int>(std::lround(twips / x)); }
    int Y(float twips) const { return static_cast<int>(std::lround(twips / y)); }
    // A control's rectangle in pixels, relative to its container's origin.
    QRect Rect(const Control& control) const;
    // A window's client area on the desktop: the designed position and the client size.
    QRect ClientRect(const Form& form) const;
};

} // namespace forms::qt
