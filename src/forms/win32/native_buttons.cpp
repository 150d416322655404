// Command buttons, check boxes and frames: the BUTTON class in its push, check and group
// box styles.
#include "forms/win32/native_controls.h"

#include "forms/controls.h"
#include "forms/win32/native_shared.h"

namespace forms::win32 {

ChildWindow ButtonWindow(const Control& control) {
    ChildWindow made{"BUTTON", 0, 0, Ansi(control.Caption())};
    switch (control.Kind()) {
    case ControlKind::CommandButton:
        made.style = WS_TABSTOP | BS_MULTILINE |
                     (static_cast<const CommandButton&>(control).Default() ? BS_DEFPUSHBUTTON
                                                                           : BS_PUSHBUTTON);
        break;
    case ControlKind::CheckBox:
        made.style = WS_TABSTOP | BS_CHECKBOX | BS_MULTILINE;
        break;
    default: // a frame
        made.style = BS_GROUPBOX;
        break;
    }
    return made;
}

void NativeWindows::ButtonCommand(HWND child, WORD code) {
    if (code == BN_CLICKED)
        Notify(Input::Kind::Click, child);
}

void NativeWindows::MirrorCheck(Control& control, HWND window) {
    SendMessageA(window, BM_SETCHECK, static_cast<CheckBox&>(control).Value(), 0);
}

// A group box leaves its inside unpainted; a frame is opaque.
LRESULT NativeWindows::EraseFrame(Control& control, HWND window, HDC dc, bool& handled) {
    if (control.Kind() != ControlKind::Frame)
        return 0;
    RECT inside{};
    GetClientRect(window, &inside);
    FillRect(dc, &inside, Brush(control.BackColor()));
    handled = true;
    return TRUE;
}

} // namespace forms::win32
