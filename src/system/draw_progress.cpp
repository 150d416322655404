// Setup_API: DrawProgress.
#include "system/Setup_API.h"

#include "forms/picture_box.h"
#include "forms/runtime.h"
#include "forms/screen.h"
#include "platform/codepage.h"
#include "platform/gdi32.h"

namespace Setup_API {
namespace {

constexpr COLORREF kBarColour = 255; // pure red

} // namespace

void DrawProgress(forms::PictureBox& box, std::int16_t percent) {
    std::string text = std::to_string(percent) + "%";
    box.Cls();
    box.SetDrawMode(forms::vbCopyPen);
    std::string ansi = win::ToAnsi(text);
    SIZE size{0, 0};
    win::GetTextExtentPointA(box.hDC(), ansi.c_str(), static_cast<int>(ansi.size()), &size);
    box.SetCurrentX((box.Width() - static_cast<float>(size.cx) * forms::Screen::TwipsPerPixelX()) /
                    2);
    box.SetCurrentY((box.Height() - static_cast<float>(size.cy) * forms::Screen::TwipsPerPixelY()) /
                    2);
    box.Print(text);
    // Not-xor keeps the digits readable where the bar covers them.
    box.SetDrawMode(forms::vbNotXorPen);
    box.FilledBox(0, 0, box.Width() * static_cast<float>(percent) / 100, box.Height(), kBarColour);
    forms::DoEvents();
}

} // namespace Setup_API
