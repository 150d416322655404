#include "forms/script/program_windows.h"

#include "forms/form.h"
#include "forms/input.h"
#include "forms/picture_box.h"
#include "forms/screen.h"
#include "platform/program_windows.h"

#include <cmath>

namespace forms::script {
namespace {

RECT PixelRect(const Form& form) {
    float x = Screen::TwipsPerPixelX();
    float y = Screen::TwipsPerPixelY();
    auto px = [](float twips, float per) { return static_cast<LONG>(std::lround(twips / per)); };
    return RECT{px(form.Left(), x), px(form.Top(), y), px(form.Left() + form.Width(), x),
                px(form.Top() + form.Height(), y)};
}

win::FontSpec FontOf(const Control& control) {
    const forms::Font& font = control.Font();
    return win::FontSpec{font.name, font.size, font.bold, font.italic};
}

} // namespace

ProgramWindows::~ProgramWindows() {
    for (auto& [box, dc] : contexts_)
        win::FreeControlContext(dc);
}

void ProgramWindows::Loaded(Form& form) {
    Form* target = &form;
    HWND window =
        win::CreateProgramWindow(form.Caption(), [target](UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message == WM_CLOSE)
                UserClose(*target);
            return 0;
        });
    form.AttachWindow(window);
    Changed(form);
}

void ProgramWindows::Changed(Form& form) {
    if (!form.hWnd())
        return;
    win::SetProgramWindowTitle(form.hWnd(), form.Caption());
    win::SetProgramWindowRect(form.hWnd(), PixelRect(form));
}

void ProgramWindows::SetVisible(Form& form, bool visible) {
    win::SetProgramWindowVisible(form.hWnd(), visible);
}

void ProgramWindows::Forget(Form& form) {
    for (Control* control : form.Controls()) {
        if (control->Kind() != ControlKind::PictureBox)
            continue;
        auto it = contexts_.find(static_cast<PictureBox*>(control));
        if (it == contexts_.end())
            continue;
        win::FreeControlContext(it->second);
        contexts_.erase(it);
    }
    win::DestroyProgramWindow(form.hWnd());
}

HDC ProgramWindows::ContextFor(PictureBox& box) {
    auto it = contexts_.find(&box);
    if (it == contexts_.end())
        it = contexts_.emplace(&box, win::NewControlContext(FontOf(box))).first;
    win::SetContextFont(it->second, FontOf(box));
    return it->second;
}

} // namespace forms::script
