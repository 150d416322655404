// Setup_API: CenterForm.
#include "system/Setup_API.h"

#include "forms/conversions.h"
#include "forms/form.h"
#include "forms/on_error.h"
#include "forms/screen.h"
#include "platform/shell32.h"

namespace Setup_API {
namespace {

// A taskbar docked on top of an 800-pixel screen overhangs it by 2 pixels on each side.
constexpr LONG kTopTaskbarWidth = 804;
constexpr LONG kTopTaskbarTop = -2;
constexpr float kTopTaskbarShift = 410; // twips

} // namespace

void CenterForm(forms::Form& window) {
    forms::OnError run(forms::ResumeNext);
    APPBARDATA bar{};
    std::int32_t width = 0;
    std::int32_t height = 0;
    run([&] {
        bar.cbSize = sizeof bar;
        win::SHAppBarMessage(ABM_GETTASKBARPOS, &bar);
    });
    run([&] {
        width = forms::CLng(forms::Screen::Width() -
                            forms::Screen::TwipsPerPixelX() * (bar.rc.right - bar.rc.left));
    });
    run([&] {
        // A taskbar along the top or bottom spans the whole width: Windows 95's overhangs
        // the screen, a later system's (and Wine's) is exactly as wide, which would leave
        // no free width and the window half off the screen's left edge.
        if (width <= 0)
            width = forms::CLng(forms::Screen::Width());
    });
    run([&] {
        height = forms::CLng(forms::Screen::Height() -
                             forms::Screen::TwipsPerPixelY() * (bar.rc.bottom - bar.rc.top));
    });
    run([&] {
        if (height <= 0) // a taskbar along the left or right edge, overhanging or not
            height = forms::CLng(forms::Screen::Height());
    });
    run([&] {
        bool onTopOf800 =
            bar.rc.right - bar.rc.left == kTopTaskbarWidth && bar.rc.top == kTopTaskbarTop;
        float left = static_cast<float>(width) / 2 - window.Width() / 2;
        float top = static_cast<float>(height) / 2 - window.Height() / 2 +
                    (onTopOf800 ? kTopTaskbarShift : 0);
        window.Move(left, top);
    });
}

} // namespace Setup_API
