// The screen as the program sees it: size in twips and twips per pixel, from the
// platform's screen device context.
#pragma once

namespace forms::Screen {

float Width();
float Height();
float TwipsPerPixelX();
float TwipsPerPixelY();

} // namespace forms::Screen
