// Fonts, brushes, measuring contexts and mouse pointers: made once, kept until the end.
#include "forms/win32/native_controls.h"

#include "forms/win32/native_shared.h"

#include <cmath>

namespace forms::win32 {
namespace {

// A closed hand: a filled fist with its outline, 32 x 32, hot spot at the top.
HCURSOR FistCursor() {
    BYTE andMask[128], xorMask[128];
    for (int row = 0; row < 32; ++row) {
        for (int byte = 0; byte < 4; ++byte) {
            BYTE a = 0xFF, x = 0x00;
            for (int bit = 0; bit < 8; ++bit) {
                int col = byte * 8 + bit;
                bool inside = row >= 6 && row <= 22 && col >= 6 && col <= 21;
                bool edge = inside && (row == 6 || row == 22 || col == 6 || col == 21 ||
                                       (row == 10 && col < 18) || (col % 4 == 2 && row < 10));
                if (inside) {
                    a &= static_cast<BYTE>(~(0x80 >> bit));
                    if (!edge)
                        x |= static_cast<BYTE>(0x80 >> bit);
                }
            }
            andMask[row * 4 + byte] = a;
            xorMask[row * 4 + byte] = x;
        }
    }
    return CreateCursor(GetModuleHandleA(nullptr), 12, 6, 32, 32, andMask, xorMask);
}

} // namespace

HFONT NativeWindows::FontFor(const Control& control) {
    const forms::Font& font = control.Font();
    std::string key = font.name + "|" + std::to_string(font.size) + "|" +
                      std::to_string(font.bold) + std::to_string(font.italic) +
                      std::to_string(font.underline);
    auto it = fonts_.find(key);
    if (it != fonts_.end())
        return it->second;
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    int height = -static_cast<int>(std::lround(font.size * static_cast<float>(dpi) / 72));
    HFONT created =
        CreateFontA(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic, font.underline,
                    FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, Ansi(font.name).c_str());
    fonts_[key] = created;
    return created;
}

HBRUSH NativeWindows::Brush(COLORREF colour) {
    auto it = brushes_.find(colour);
    if (it != brushes_.end())
        return it->second;
    HBRUSH brush = CreateSolidBrush(colour);
    brushes_[colour] = brush;
    return brush;
}

HDC NativeWindows::MeasuringContext(PictureBox& box) {
    auto it = measuring_.find(&box);
    if (it == measuring_.end())
        it = measuring_.emplace(&box, CreateCompatibleDC(nullptr)).first;
    SelectObject(it->second, FontFor(box));
    return it->second;
}

HCURSOR NativeWindows::Cursor(const std::string& picture) {
    auto it = cursors_.find(picture);
    if (it != cursors_.end())
        return it->second;
    HCURSOR cursor = LoadCursorA(nullptr, IDC_HAND);
    if (picture == "hand_pressed") {
        if (HCURSOR fist = FistCursor())
            cursor = fist;
    }
    cursors_[picture] = cursor;
    return cursor;
}

} // namespace forms::win32
