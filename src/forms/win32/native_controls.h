// The program's windows as native windows: a top-level window per form, a child window per
// control (buttons, check boxes, group boxes for frames, static labels, an edit box, a
// drop-down of the drives, a list box of folders, picture boxes of a class of their own that
// replay their drawing with GDI), mirrored from the model. User input on them is not acted
// on inside the window procedures: it becomes an Input passed to the backend, which hands
// it to the model outside any window procedure (handlers may run nested loops, End or fail).
// One file per kind of control (native_buttons, native_label, native_text_box, native_lists,
// native_picture), the form's window in native_form_window, fonts and brushes in native_gdi.
#pragma once

#include "forms/form.h"
#include "forms/picture_box.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace forms::win32 {

struct Input {
    enum class Kind { Click, MouseUp, MouseMove, Close, Set };
    Kind kind = Kind::Click;
    HWND window = nullptr; // the control's (or form's) window
    std::string value;     // Set: the text, "0"/"1", a drive "c:" or a folder (UTF-8)
};

class NativeWindows {
public:
    explicit NativeWindows(std::function<void(Input)> onInput);
    ~NativeWindows();
    NativeWindows(const NativeWindows&) = delete;
    NativeWindows& operator=(const NativeWindows&) = delete;

    // The form's window with a child window for each of its controls, not yet shown.
    void Create(Form& form);
    void Destroy(Form& form);
    void Show(Form& form);
    void Hide(Form& form);
    void Changed(Control& control, Property what);
    void Redraw(PictureBox& box);
    // Windows behind a modal window take no input, as the model says.
    void RefreshInput();

    HWND WindowOf(const Control& control) const;
    Control* ControlOf(HWND window) const;
    // A memory context in the box's font, for measuring text.
    HDC MeasuringContext(PictureBox& box);
    // A custom pointer by the name of its picture ("hand_pointing", "hand_pressed").
    HCURSOR Cursor(const std::string& picture);

    // Window procedures (one set of windows per process).
    LRESULT FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT PictureMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ChildMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

private:
    // native_controls.cpp: the table of windows, creation, mirroring, the children's procedure.
    void CreateChildren(Form& form);
    void CreateChild(Form& form, Control& control);
    void FillNew(Control& control, HWND window);
    void Forget(Control& control);
    void Place(Control& control);
    void PlaceAll(Form& form);
    void ShowChild(Control& control);
    void Mirror(Control& control, HWND window, Property what);
    void MirrorEnabled(Control& control, HWND window);
    void MirrorVisible(Control& control);
    void MirrorPosition(Control& control, HWND window);
    LRESULT SetPointer(Control& control, LPARAM lParam, bool& handled);
    void Notify(Input::Kind kind, HWND window, std::string value = {});
    // native_gdi.cpp: fonts, brushes and pointers, made once and kept.
    HFONT FontFor(const Control& control);
    HBRUSH Brush(COLORREF colour);
    // native_form_window.cpp: the form's window.
    LRESULT EraseForm(Form& form, HWND window, HDC dc);
    LRESULT PaintFormWindow(Form& form, HWND window);
    void PaintForm(Form& form, HDC dc);
    LRESULT ColourFor(HWND child, HDC dc);
    void Command(HWND child, WORD code);
    // native_buttons.cpp: command buttons, check boxes, frames.
    void ButtonCommand(HWND child, WORD code);
    void MirrorCheck(Control& control, HWND window);
    LRESULT EraseFrame(Control& control, HWND window, HDC dc, bool& handled);
    // native_label.cpp: labels.
    void LabelCommand(HWND child, WORD code);
    void MouseUp(Control& control, HWND window);
    void MouseMove(Control& control, HWND window);
    void MirrorBorder(Control& control, HWND window);
    // native_text_box.cpp: the text box.
    void TextBoxCommand(HWND child, WORD code);
    void MirrorText(Control& control, HWND window);
    // native_lists.cpp: the drive list and the folder list.
    void DriveListCommand(HWND child, WORD code);
    void FolderListCommand(HWND child, WORD code);
    LRESULT ScriptFolder(Control& control, HWND window, LPARAM lParam, bool& handled);
    void FillDrives(Control& control);
    void FillFolders(Control& control);
    // native_picture.cpp: picture boxes, which replay their drawing.
    LRESULT PaintPictureWindow(PictureBox& box, HWND window);
    void PaintPicture(PictureBox& box, HDC dc);
    void ReplayText(PictureBox& box, HDC dc, const Drawing& d);
    void ReplayBox(HDC dc, const Drawing& d);

    std::function<void(Input)> onInput_;
    std::map<HWND, Control*> controls_;
    std::map<const Control*, HWND> windows_;
    std::map<std::string, HFONT> fonts_;
    std::map<COLORREF, HBRUSH> brushes_;
    std::map<PictureBox*, HDC> measuring_;
    std::map<HWND, std::vector<std::string>> folderItems_;
    std::map<std::string, HCURSOR> cursors_;
    bool mirroring_ = false; // the program, not the user, is changing a control
};

// Twips of the model to pixels of the screen.
int PixelsX(float twips);
int PixelsY(float twips);

} // namespace forms::win32
