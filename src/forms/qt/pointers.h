// The program's own mouse-pointer pictures, by the names its image controls hold:
// "hand_pointing" (a hand with the index finger raised, for the welcome screen's link)
// and "hand_pressed" (the same hand closed, once the link is released). Drawn here in
// code, 32 x 32, white with a black outline, at the screen's device pixels per pixel.
#pragma once

#include <QCursor>
#include <QPixmap>

#include <optional>
#include <string>

namespace forms::qt {

// The picture of that name; a null pixmap for a name the program has no picture for.
QPixmap PointerPicture(const std::string& name, qreal deviceRatio = 1);
// The pointer with its hot spot (the fingertip, the middle of the closed hand).
std::optional<QCursor> PointerCursor(const std::string& name, qreal deviceRatio = 1);

} // namespace forms::qt
