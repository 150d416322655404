// Picture boxes: a window class of their own that replays the box's drawing with GDI.
#include "forms/win32/native_controls.h"

#include "forms/win32/native_shared.h"

namespace forms::win32 {

ChildWindow PictureWindow(const Control& control) {
    ChildWindow made{kPictureClass, 0, 0, {}};
    if (control.BorderStyle() == vbFixedSingle)
        made.exStyle = WS_EX_CLIENTEDGE;
    return made;
}

LRESULT NativeWindows::PictureMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = ControlOf(window);
    if (!control)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // painted whole in WM_PAINT
    case WM_PAINT:
        return PaintPictureWindow(static_cast<PictureBox&>(*control), window);
    case WM_LBUTTONUP:
        Notify(Input::Kind::MouseUp, window);
        Notify(Input::Kind::Click, window);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(*control, window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT NativeWindows::PaintPictureWindow(PictureBox& box, HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintPicture(box, dc);
    EndPaint(window, &paint);
    return 0;
}

// The box's background, then its drawing in order, painted off the screen and copied at once.
void NativeWindows::PaintPicture(PictureBox& box, HDC target) {
    RECT client;
    GetClientRect(WindowOf(box), &client);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &client, Brush(box.BackColor()));
    SetBkMode(dc, TRANSPARENT);
    for (const Drawing& d : box.Drawings()) {
        switch (d.kind) {
        case Drawing::Kind::Clear:
            FillRect(dc, &client, Brush(box.BackColor()));
            break;
        case Drawing::Kind::Text:
            ReplayText(box, dc, d);
            break;
        case Drawing::Kind::FilledBox:
            ReplayBox(dc, d);
            break;
        }
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// A text in the box's font and the drawing's colour.
void NativeWindows::ReplayText(PictureBox& box, HDC dc, const Drawing& d) {
    std::string text = Ansi(d.text);
    HGDIOBJ old = SelectObject(dc, FontFor(box));
    SetTextColor(dc, d.colour);
    SetROP2(dc, R2_COPYPEN);
    TextOutA(dc, PixelsX(d.x1), PixelsY(d.y1), text.c_str(), static_cast<int>(text.size()));
    SelectObject(dc, old);
}

// A box filled in its drawing mode: not-xor keeps the progress figures readable under the bar.
void NativeWindows::ReplayBox(HDC dc, const Drawing& d) {
    SetROP2(dc, d.drawMode == vbNotXorPen ? R2_NOTXORPEN : R2_COPYPEN);
    HGDIOBJ oldBrush = SelectObject(dc, Brush(d.colour));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Rectangle(dc, PixelsX(d.x1), PixelsY(d.y1), PixelsX(d.x2) + 1, PixelsY(d.y2) + 1);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SetROP2(dc, R2_COPYPEN);
}

} // namespace forms::win32
