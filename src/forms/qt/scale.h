// Twips to pixels for the program's windows, at the machine's twips per pixel (15 at the
// classic 96 dots per inch). Read once when the interface starts.
#pragma once

#include <QRect>

#include <cmath>

namespace forms {
class Control;
class Form;
} // namespace forms

namespace forms::qt {

struct Scale {
    float x = 15;
    float y = 15;

    // The machine's screen, as the program's Screen object gives it.
    static Scale OfScreen();

    int X(float twips) const { return static_cast<int>(std::lround(twips / x)); }
    int Y(float twips) const { return static_cast<int>(std::lround(twips / y)); }
    // A control's rectangle in pixels, relative to its container's origin.
    QRect Rect(const Control& control) const;
    // A window's client area on the screen: the designed position and the client size.
    QRect ClientRect(const Form& form) const;
};

} // namespace forms::qt
