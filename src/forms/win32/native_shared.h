// What the files of the native windows share among themselves (not for the backend): the
// window classes of their own, how a child window is made for each kind of control, and
// where a control lies on its form.
#pragma once

#include "forms/controls.h"
#include "forms/form.h"

#include <string>
#include <string_view>

namespace forms::win32 {

inline constexpr char kFormClass[] = "ZepsetupForm";
inline constexpr char kPictureClass[] = "ZepsetupPicture";

// The window class, styles and first text of a control's child window.
struct ChildWindow {
    const char* windowClass = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
};

// Each kind's window (in the kind's file).
ChildWindow ButtonWindow(const Control& control); // command button, check box, frame
ChildWindow LabelWindow(const Control& control);
ChildWindow TextBoxWindow(const Control& control);
ChildWindow PictureWindow(const Control& control);
ChildWindow DriveListWindow();
ChildWindow FolderListWindow();

// Window styles of a form's border style (0 none, 1 fixed single, 2 sizable, 3 fixed
// dialog, 4 fixed tool window, 5 sizable tool window).
void FormStyles(int border, DWORD& style, DWORD& exStyle);

std::string Ansi(std::string_view utf8);
bool ShownWithParents(const Control& control);
// The control's top-left corner in its form's client area, in twips.
void FormOffset(const Control& control, float& x, float& y);
bool IsContainer(const Control& control);

} // namespace forms::win32
