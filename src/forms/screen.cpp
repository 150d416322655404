#include "forms/screen.h"

#include "platform/gdi32.h"
#include "platform/user32.h"

namespace forms::Screen {
namespace {

constexpr float kTwipsPerInch = 1440;

int ScreenCaps(int index) {
    HDC dc = win::GetDC(nullptr);
    int value = win::GetDeviceCaps(dc, index);
    win::ReleaseDC(nullptr, dc);
    return value;
}

float TwipsPerPixel(int dpiIndex) {
    int dpi = ScreenCaps(dpiIndex);
    return dpi > 0 ? kTwipsPerInch / static_cast<float>(dpi) : 15.0f;
}

} // namespace

float TwipsPerPixelX() {
    return TwipsPerPixel(LOGPIXELSX);
}
float TwipsPerPixelY() {
    return TwipsPerPixel(LOGPIXELSY);
}
float Width() {
    return static_cast<float>(ScreenCaps(HORZRES)) * TwipsPerPixelX();
}
float Height() {
    return static_cast<float>(ScreenCaps(VERTRES)) * TwipsPerPixelY();
}

} // namespace forms::Screen
