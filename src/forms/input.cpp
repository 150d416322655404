#include "forms/input.h"

#include "forms/controls.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/runtime.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"

#include <cctype>

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

std::string DrivesOffered(const DriveListBox& list) {
    std::string offered;
    for (const auto& drive : list.List())
        offered += (offered.empty() ? "" : ", ") + drive;
    return "the drive list offers " + offered;
}

bool IsDrive(const DriveListBox& list, std::string_view value) {
    if (value.empty() || !std::isalpha(static_cast<unsigned char>(value[0])))
        return false;
    std::string wanted(1, static_cast<char>(std::tolower(static_cast<unsigned char>(value[0]))));
    wanted += ':';
    for (const auto& drive : list.List()) {
        if (drive == wanted)
            return true;
    }
    return false;
}

bool IsFolder(std::string_view value) {
    std::string ansi = win::ToAnsi(value);
    DWORD attributes = win::GetFileAttributesA(ansi.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder's path as Windows compares it.
std::string Folded(std::string_view path) {
    std::string upper = win::AnsiUpper(win::ToAnsi(path));
    while (upper.size() > 3 && upper.back() == '\\')
        upper.pop_back();
    return upper;
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

std::string WhyValueRefused(const Control& control, std::string_view value) {
    switch (control.Kind()) {
    case ControlKind::TextBox:
        return {};
    case ControlKind::CheckBox:
        return value == "0" || value == "1" ? "" : "a check box takes 0 or 1";
    case ControlKind::DriveListBox: {
        const auto& list = static_cast<const DriveListBox&>(control);
        return IsDrive(list, value) ? "" : DrivesOffered(list);
    }
    case ControlKind::DirListBox:
        return IsFolder(value) ? "" : "no folder " + std::string(value) + " to open";
    default:
        return control.PathName() + " takes no value";
    }
}

bool HoldsValue(const Control& control, std::string_view value) {
    switch (control.Kind()) {
    case ControlKind::TextBox:
        return static_cast<const TextBox&>(control).Text() == value;
    case ControlKind::CheckBox:
        return static_cast<const CheckBox&>(control).Value() ==
               (value == "1" ? vbChecked : vbUnchecked);
    case ControlKind::DriveListBox: {
        if (value.empty())
            return false;
        std::string drive(1, static_cast<char>(std::tolower(static_cast<unsigned char>(value[0]))));
        return static_cast<const DriveListBox&>(control).Drive() == drive + ":";
    }
    case ControlKind::DirListBox:
        return Folded(static_cast<const DirListBox&>(control).Path()) == Folded(value);
    default:
        return false;
    }
}

std::string UserSet(Control& control, std::string_view value) {
    if (std::string why = WhyValueRefused(control, value); !why.empty())
        return why;
    Runtime& runtime = Runtime::Get();
    switch (control.Kind()) {
    case ControlKind::TextBox: {
        auto& box = static_cast<TextBox&>(control);
        runtime.Dispatch([&] { box.SetText(std::string(value)); });
        break;
    }
    case ControlKind::CheckBox: {
        auto& box = static_cast<CheckBox&>(control);
        runtime.Dispatch([&] { box.SetValue(value == "1" ? vbChecked : vbUnchecked); });
        break;
    }
    case ControlKind::DriveListBox: {
        auto& list = static_cast<DriveListBox&>(control);
        runtime.Dispatch([&] { list.Choose(value); });
        break;
    }
    case ControlKind::DirListBox: {
        auto& list = static_cast<DirListBox&>(control);
        runtime.Dispatch([&] { list.SetPath(value); });
        break;
    }
    default:
        break;
    }
    return {};
}

void UserClose(Form& form, UnloadMode mode) {
    Runtime::Get().Dispatch([&] { Runtime::Get().Unload(form, mode); });
}

} // namespace forms
