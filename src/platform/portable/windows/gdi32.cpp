// gdi32 on the portable machine: screen facts from the machine's display settings,
// brushes and contexts from gdi_objects, rectangles recorded instead of painted.
// Left out: pens (outlines are the default thin black pen), fonts as GDI objects (a
// context's font is the one its control gives it), every other drawing call.
#include "platform/gdi32.h"

#include "platform/kernel32.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/machine.h"
#include "platform/portable/windows/display.h"
#include "platform/portable/windows/gdi_objects.h"

#include <cstring>

namespace win {

int GetDeviceCaps(HDC dc, int index) {
    return portable::Guarded<int>(0, [&]() -> int {
        if (!portable::LookUpContext(dc))
            return 0;
        portable::Display display = portable::ReadDisplay(portable::CurrentMachine());
        switch (index) {
        case HORZRES:
            return display.width;
        case VERTRES:
            return display.height;
        case BITSPIXEL:
            return display.bitsPerPixel;
        case PLANES:
            return display.planes;
        case LOGPIXELSX:
        case LOGPIXELSY:
            return display.dpi;
        default:
            return 0;
        }
    });
}

BOOL GetTextExtentPointA(HDC dc, LPCSTR text, int count, LPSIZE size) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        portable::DeviceContext* context = portable::LookUpContext(dc);
        if (!context || !size || count < 0 || (count > 0 && !text)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *size = portable::TextExtent(
            context->font, std::string_view(text ? text : "", static_cast<size_t>(count)));
        return TRUE;
    });
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    return portable::Guarded<HBRUSH>(
        nullptr, [&]() -> HBRUSH { return portable::NewBrush(colour & 0xFFFFFF); });
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    return portable::Guarded<HGDIOBJ>(nullptr, [&]() -> HGDIOBJ {
        portable::DeviceContext* context = portable::LookUpContext(dc);
        if (!context || !object || !portable::BrushColour(object))
            return nullptr;
        HGDIOBJ before = context->brush ? context->brush : portable::StockWhiteBrush();
        context->brush = object;
        return before;
    });
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        portable::DeviceContext* context = portable::LookUpContext(dc);
        if (!context)
            return FALSE;
        auto fill = portable::BrushColour(context->brush);
        portable::RecordRectangle(
            {context->window, RECT{left, top, right, bottom}, fill.value_or(0)});
        return TRUE;
    });
}

BOOL DeleteObject(HGDIOBJ object) {
    return portable::Guarded<BOOL>(
        FALSE, [&]() -> BOOL { return portable::FreeBrush(object) ? TRUE : FALSE; });
}

} // namespace win
