// Paints a picture box's recorded drawing: the background, then each text and filled box
// in order, with the box's drawing mode as a raster operation (not-xor keeps the digits
// of the percentage bar readable where the red bar covers them).
#pragma once

#include "forms/picture_box.h"
#include "forms/qt/scale.h"

#include <QImage>

namespace forms::qt {

// The client area of box (size in pixels) with its drawing.
QImage PaintDrawing(const PictureBox& box, QSize size, const Scale& scale);

} // namespace forms::qt
