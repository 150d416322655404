// The form's window: its frame from the border style, its background and lines, the
// colours of its children, and the notifications its children send it.
#include "forms/win32/native_controls.h"

#include "forms/controls.h"
#include "forms/win32/native_shared.h"

namespace forms::win32 {
namespace {

// The colour behind a transparent label: its container's, or its form's.
COLORREF ColourBehind(const Control& control) {
    const Control* container = control.Container();
    return container ? container->BackColor() : control.Parent().BackColor();
}

} // namespace

void FormStyles(int border, DWORD& style, DWORD& exStyle) {
    exStyle = 0;
    switch (border) {
    case vbBSNone:
        style = WS_POPUP;
        return;
    case 2:
        style = WS_OVERLAPPEDWINDOW;
        return;
    case 3:
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        exStyle = WS_EX_DLGMODALFRAME;
        return;
    case 4:
    case 5:
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        exStyle = WS_EX_TOOLWINDOW;
        return;
    default:
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        return;
    }
}

LRESULT NativeWindows::ColourFor(HWND child, HDC dc) {
    Control* control = ControlOf(child);
    if (!control)
        return 0;
    SetTextColor(dc, control->ForeColor());
    if (control->Kind() == ControlKind::Label && control->BackStyle() == vbTransparent) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(Brush(ColourBehind(*control)));
    }
    COLORREF back = control->BackColor();
    SetBkColor(dc, back);
    return reinterpret_cast<LRESULT>(Brush(back));
}

LRESULT NativeWindows::FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = ControlOf(window);
    if (!control)
        return DefWindowProcA(window, message, wParam, lParam);
    Form& form = static_cast<Form&>(*control);
    switch (message) {
    case WM_CLOSE:
        Notify(Input::Kind::Close, window);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(form, window);
        return 0;
    case WM_LBUTTONUP:
        MouseUp(form, window);
        return 0;
    case WM_ERASEBKGND:
        return EraseForm(form, window, reinterpret_cast<HDC>(wParam));
    case WM_PAINT:
        return PaintFormWindow(form, window);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (LRESULT brush =
                ColourFor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
            return brush;
        break;
    case WM_COMMAND:
        if (!ControlOf(reinterpret_cast<HWND>(lParam)))
            break;
        Command(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT NativeWindows::EraseForm(Form& form, HWND window, HDC dc) {
    RECT rect;
    GetClientRect(window, &rect);
    FillRect(dc, &rect, Brush(form.BackColor()));
    return 1;
}

LRESULT NativeWindows::PaintFormWindow(Form& form, HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintForm(form, dc);
    EndPaint(window, &paint);
    return 0;
}

// A child's notification, handed to its kind.
void NativeWindows::Command(HWND child, WORD code) {
    switch (ControlOf(child)->Kind()) {
    case ControlKind::CommandButton:
    case ControlKind::CheckBox:
        ButtonCommand(child, code);
        return;
    case ControlKind::Label:
        LabelCommand(child, code);
        return;
    case ControlKind::TextBox:
        TextBoxCommand(child, code);
        return;
    case ControlKind::DriveListBox:
        DriveListCommand(child, code);
        return;
    case ControlKind::DirListBox:
        FolderListCommand(child, code);
        return;
    default:
        return;
    }
}

void NativeWindows::PaintForm(Form& form, HDC dc) {
    for (Control* control : form.Controls()) {
        if (control->Kind() != ControlKind::Line || !ShownWithParents(*control))
            continue;
        auto& line = static_cast<Line&>(*control);
        float x = 0, y = 0;
        FormOffset(line, x, y);
        x -= line.Left();
        y -= line.Top();
        HPEN pen = CreatePen(PS_SOLID, 1, line.BorderColor());
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, PixelsX(x + line.X1()), PixelsY(y + line.Y1()), nullptr);
        LineTo(dc, PixelsX(x + line.X2()), PixelsY(y + line.Y2()));
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

} // namespace forms::win32
