#include "forms/headless/program_windows.h"

#include "forms/form.h"
#include "forms/input.h"
#include "forms/picture_box.h"
#include "forms/screen.h"
#include "platform/portable/gdi_objects.h"
#include "platform/portable/window_table.h"

#include <cmath>

namespace forms::headless {
namespace {

RECT PixelRect(const Form& form) {
    float x = Screen::TwipsPerPixelX();
    float y = Screen::TwipsPerPixelY();
    auto px = [](float twips, float per) { return static_cast<LONG>(std::lround(twips / per)); };
    return RECT{px(form.Left(), x), px(form.Top(), y), px(form.Left() + form.Width(), x),
                px(form.Top() + form.Height(), y)};
}

portable::FontSpec FontOf(const Control& control) {
    const forms::Font& font = control.Font();
    return portable::FontSpec{font.name, font.size, font.bold, font.italic};
}

} // namespace

ProgramWindows::~ProgramWindows() {
    for (auto& [box, dc] : contexts_)
        portable::FreeDeviceContext(dc);
}

void ProgramWindows::Loaded(Form& form) {
    Form* target = &form;
    HWND window = portable::CreateProgramWindow(form.Caption(),
                                                [target](UINT message, WPARAM, LPARAM) -> LRESULT {
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
    portable::SetProgramWindowTitle(form.hWnd(), form.Caption());
    portable::SetProgramWindowRect(form.hWnd(), PixelRect(form));
}

void ProgramWindows::SetVisible(Form& form, bool visible) {
    portable::SetProgramWindowVisible(form.hWnd(), visible);
}

void ProgramWindows::Forget(Form& form) {
    for (Control* control : form.Controls()) {
        if (control->Kind() != ControlKind::PictureBox)
            continue;
        auto it = contexts_.find(static_cast<PictureBox*>(control));
        if (it == contexts_.end())
            continue;
        portable::FreeDeviceContext(it->second);
        contexts_.erase(it);
    }
    portable::DestroyProgramWindow(form.hWnd());
}

HDC ProgramWindows::ContextFor(PictureBox& box) {
    auto it = contexts_.find(&box);
    if (it == contexts_.end())
        it = contexts_.emplace(&box, portable::NewControlContext(FontOf(box))).first;
    portable::SetContextFont(it->second, FontOf(box));
    return it->second;
}

} // namespace forms::headless
