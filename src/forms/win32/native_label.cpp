// Labels: the STATIC class, told to notify its clicks, with a border when the label has one.
#include "forms/win32/native_controls.h"

#include "forms/win32/native_shared.h"

namespace forms::win32 {

ChildWindow LabelWindow(const Control& control) {
    ChildWindow made{"STATIC", SS_LEFT | SS_NOTIFY, 0, Ansi(control.Caption())};
    if (control.BorderStyle() == vbFixedSingle)
        made.style |= WS_BORDER;
    return made;
}

void NativeWindows::LabelCommand(HWND child, WORD code) {
    if (code == STN_CLICKED)
        Notify(Input::Kind::Click, child);
}

// A release of the mouse is a MouseUp for every control with a handler for it.
void NativeWindows::MouseUp(Control& control, HWND window) {
    if (control.OnMouseUp)
        Notify(Input::Kind::MouseUp, window);
}

void NativeWindows::MouseMove(Control& control, HWND window) {
    if (control.OnMouseMove)
        Notify(Input::Kind::MouseMove, window);
}

void NativeWindows::MirrorBorder(Control& control, HWND window) {
    if (control.Kind() != ControlKind::Label)
        return;
    LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    style = control.BorderStyle() == vbFixedSingle ? (style | WS_BORDER)
                                                   : (style & ~LONG_PTR{WS_BORDER});
    SetWindowLongPtrA(window, GWL_STYLE, style);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

} // namespace forms::win32
