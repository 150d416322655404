#include "forms/input.h"

#include "forms/controls.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/runtime.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"

namespace forms {
namespace {

std::string WhyNotReached(const Control& control) {
    if (!control.Visible())
        return control.PathName() + " is not visible";
    if (!control.Enabled())
        return control.PathName() + " is disabled";
    return {};
}

void Mouse(const std::function<void(int, int, float, float)>& handler, int button) {
    if (!handler)
        return;
    Runtime::Get().Dispatch([&] { handler(button, 0, 0, 0); });
}

std::string SetCheckBox(CheckBox& box, std::string_view value) {
    if (value != "0" && value != "1")
        return "a check box takes 0 or 1";
    Runtime::Get().Dispatch([&] { box.SetValue(value == "1" ? vbChecked : vbUnchecked); });
    return {};
}

std::string SetDrive(DriveListBox& list, std::string_view value) {
    bool taken = false;
    Runtime::Get().Dispatch([&] { taken = list.Choose(value); });
    if (taken)
        return {};
    std::string offered;
    for (const auto& drive : list.List())
        offered += (offered.empty() ? "" : ", ") + drive;
    return "the drive list offers " + offered;
}

std::string SetFolder(DirListBox& list, std::string_view value) {
    std::string ansi = win::ToAnsi(value);
    DWORD attributes = win::GetFileAttributesA(ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "no folder " + std::string(value) + " to open";
    Runtime::Get().Dispatch([&] { list.SetPath(value); });
    return {};
}

} // namespace

std::string WhyNoInput(const Control& control) {
    const Form& form = control.Parent();
    if (!form.IsLoaded())
        return form.Name() + " is not loaded";
    if (!form.Visible())
        return form.Name() + " is not shown";
    if (!form.Enabled())
        return form.Name() + " is disabled";
    if (!Runtime::Get().TakesInput(form)) {
        Form* modal = Runtime::Get().ActiveModal();
        return form.Name() + " is behind the modal window " + (modal ? modal->Name() : "");
    }
    for (const Control* c = &control; c && c != &form; c = c->Container()) {
        if (std::string why = WhyNotReached(*c); !why.empty())
            return why;
    }
    return {};
}

void UserClick(Control& control) {
    if (control.Kind() == ControlKind::CheckBox) {
        auto& box = static_cast<CheckBox&>(control);
        Runtime::Get().Dispatch(
            [&] { box.SetValue(box.Value() == vbChecked ? vbUnchecked : vbChecked); });
        return;
    }
    Runtime::Get().Dispatch(control.OnClick);
}

void UserMouseUp(Control& control, int button) {
    Mouse(control.OnMouseUp, button);
}

void UserMouseMove(Control& control) {
    Mouse(control.OnMouseMove, 0);
}

std::string UserSet(Control& control, std::string_view value) {
    switch (control.Kind()) {
    case ControlKind::TextBox: {
        auto& box = static_cast<TextBox&>(control);
        Runtime::Get().Dispatch([&] { box.SetText(std::string(value)); });
        return {};
    }
    case ControlKind::CheckBox:
        return SetCheckBox(static_cast<CheckBox&>(control), value);
    case ControlKind::DriveListBox:
        return SetDrive(static_cast<DriveListBox&>(control), value);
    case ControlKind::DirListBox:
        return SetFolder(static_cast<DirListBox&>(control), value);
    default:
        return control.PathName() + " takes no value";
    }
}

void UserClose(Form& form, UnloadMode mode) {
    Runtime::Get().Dispatch([&] { Runtime::Get().Unload(form, mode); });
}

} // namespace forms
