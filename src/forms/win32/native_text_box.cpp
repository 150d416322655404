// The text box: a one-line EDIT that scrolls sideways; each change of its text is passed on.
#include "forms/win32/native_controls.h"

#include "forms/controls.h"
#include "forms/win32/native_shared.h"
#include "platform/codepage.h"

namespace forms::win32 {

ChildWindow TextBoxWindow(const Control& control) {
    return {"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
            Ansi(static_cast<const TextBox&>(control).Text())};
}

void NativeWindows::TextBoxCommand(HWND child, WORD code) {
    if (code != EN_CHANGE)
        return;
    int n = GetWindowTextLengthA(child);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(child, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    Notify(Input::Kind::Set, child, win::FromAnsi(text));
}

// Set only when it differs, so that the caret stays where the user is typing.
void NativeWindows::MirrorText(Control& control, HWND window) {
    std::string text = Ansi(static_cast<TextBox&>(control).Text());
    char current[1024] = {};
    GetWindowTextA(window, current, sizeof current);
    if (text != current)
        SetWindowTextA(window, text.c_str());
}

} // namespace forms::win32
