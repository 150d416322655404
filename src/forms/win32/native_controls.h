// The program's windows as native windows: a top-level window per form, a child window per
// control (buttons, check boxes, group boxes for frames, static labels, an edit box, a
// drop-down of the drives, a list box of folders, picture boxes of a class of their own that
// replay their drawing with GDI), mirrored from the model. User input on them is not acted
// on inside the window procedures: it becomes an Input passed to the backend, which hands
// it to the model outside any window procedure (handlers may run nested loops, End or fail).
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
    void CreateChild(Form& form, Control& control);
    void Place(Control& control);
    void PlaceAll(Form& form);
    void ShowChild(Control& control);
    void FillDrives(Control& control);
    void FillFolders(Control& control);
    void PaintForm(Form& form, HDC dc);
    void PaintPicture(PictureBox& box, HDC dc);
    HFONT FontFor(const Control& control);
    HBRUSH Brush(COLORREF colour);
    LRESULT ColourFor(HWND child, HDC dc);
    void Notify(Input::Kind kind, HWND window, std::string value = {});

    std::function<void(Input)> onInput_;
    std::map<HWND, Control*> controls_;
    std::map<const Control*, HWND> windows_;
    std::map<std::string, HFONT> fonts_;
    std::map<COLORREF, HBRUSH> brushes_;
    std::map<PictureBox*, HDC> measuring_;
    std::map<HWND, std::vector<std::string>> folderItems_;
    std::map<std::string, HCURSOR> cursors_;
    HWND pressed_ = nullptr; // the label a button press started on
    bool mirroring_ = false; // the program, not the user, is changing a control
};

// Twips of the model to pixels of the screen.
int PixelsX(float twips);
int PixelsY(float twips);

} // namespace forms::win32
