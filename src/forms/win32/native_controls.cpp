// The table of windows (control to window and back), making the windows of a form and its
// controls, mirroring the model's changes onto them, and the procedure every child window
// of a standard class is subclassed with.
#include "forms/win32/native_controls.h"

#include "forms/controls.h"
#include "forms/runtime.h"
#include "forms/screen.h"
#include "forms/win32/native_shared.h"
#include "platform/codepage.h"

#include <commctrl.h>

#include <cmath>

namespace forms::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 1;
// A drop-down's height counts its open list.
constexpr int kDropDownListPixels = 160;

NativeWindows* g_windows = nullptr;

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_windows)
        return g_windows->FormMessage(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_windows)
        return g_windows->PictureMessage(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                           DWORD_PTR) {
    bool handled = false;
    LRESULT result = 0;
    if (g_windows)
        result = g_windows->ChildMessage(window, message, wParam, lParam, handled);
    return handled ? result : DefSubclassProc(window, message, wParam, lParam);
}

void RegisterClasses() {
    static bool done = false;
    if (done)
        return;
    done = true;
    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    WNDCLASSEXA form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = FormProc;
    form.hInstance = GetModuleHandleA(nullptr);
    form.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    form.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    form.lpszClassName = kFormClass;
    RegisterClassExA(&form);
    WNDCLASSEXA picture = form;
    picture.lpfnWndProc = PictureProc;
    picture.hIcon = nullptr;
    picture.lpszClassName = kPictureClass;
    RegisterClassExA(&picture);
}

} // namespace

std::string Ansi(std::string_view utf8) {
    return win::ToAnsi(utf8);
}

bool ShownWithParents(const Control& control) {
    for (const Control* c = &control; c; c = c->Container()) {
        if (!c->Visible())
            return false;
    }
    return true;
}

// The control's top-left corner in its form's client area, in twips.
void FormOffset(const Control& control, float& x, float& y) {
    x = control.Left();
    y = control.Top();
    for (const Control* c = control.Container(); c; c = c->Container()) {
        x += c->Left();
        y += c->Top();
    }
}

bool IsContainer(const Control& control) {
    return control.Kind() == ControlKind::Frame || control.Kind() == ControlKind::PictureBox;
}

int PixelsX(float twips) {
    return static_cast<int>(std::lround(twips / Screen::TwipsPerPixelX()));
}

int PixelsY(float twips) {
    return static_cast<int>(std::lround(twips / Screen::TwipsPerPixelY()));
}

NativeWindows::NativeWindows(std::function<void(Input)> onInput) : onInput_(std::move(onInput)) {
    RegisterClasses();
    g_windows = this;
}

NativeWindows::~NativeWindows() {
    std::vector<HWND> forms;
    for (auto& [control, window] : windows_) {
        if (control->Kind() == ControlKind::Form)
            forms.push_back(window);
    }
    for (HWND window : forms)
        DestroyWindow(window);
    for (auto& [spec, font] : fonts_)
        DeleteObject(font);
    for (auto& [colour, brush] : brushes_)
        DeleteObject(brush);
    for (auto& [box, dc] : measuring_)
        DeleteDC(dc);
    g_windows = nullptr;
}

// ---- Creating and destroying.

void NativeWindows::Create(Form& form) {
    DWORD style = 0, exStyle = 0;
    FormStyles(form.BorderStyle(), style, exStyle);
    mirroring_ = true;
    HWND window = CreateWindowExA(
        exStyle, kFormClass, Ansi(form.Caption()).c_str(), style | WS_CLIPCHILDREN,
        PixelsX(form.Left()), PixelsY(form.Top()), PixelsX(form.Width()), PixelsY(form.Height()),
        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    controls_[window] = &form;
    windows_[&form] = window;
    form.AttachWindow(window);
    for (Control* control : form.Controls()) {
        if (IsContainer(*control))
            CreateChild(form, *control);
    }
    for (Control* control : form.Controls()) {
        if (!IsContainer(*control))
            CreateChild(form, *control);
    }
    // A new child window goes to the bottom of its siblings: the containers, made first,
    // would lie on top of what they hold and hide it.
    for (Control* control : form.Controls()) {
        if (HWND child = IsContainer(*control) ? WindowOf(*control) : nullptr)
            SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    mirroring_ = false;
}

void NativeWindows::CreateChild(Form& form, Control& control) {
    const char* windowClass = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    std::string text = Ansi(control.Caption());
    switch (control.Kind()) {
    case ControlKind::Label:
        windowClass = "STATIC";
        style |= SS_LEFT | SS_NOTIFY;
        break;
    case ControlKind::CommandButton:
        windowClass = "BUTTON";
        style |=
            WS_TABSTOP | BS_MULTILINE |
            (static_cast<CommandButton&>(control).Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case ControlKind::CheckBox:
        windowClass = "BUTTON";
        style |= WS_TABSTOP | BS_CHECKBOX | BS_MULTILINE;
        break;
    case ControlKind::Frame:
        windowClass = "BUTTON";
        style |= BS_GROUPBOX;
        break;
    case ControlKind::TextBox:
        windowClass = "EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle |= WS_EX_CLIENTEDGE;
        text = Ansi(static_cast<TextBox&>(control).Text());
        break;
    case ControlKind::PictureBox:
        windowClass = kPictureClass;
        text.clear();
        break;
    case ControlKind::DriveListBox:
        windowClass = "COMBOBOX";
        style |= WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL;
        text.clear();
        break;
    case ControlKind::DirListBox:
        windowClass = "LISTBOX";
        style |= WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
        exStyle |= WS_EX_CLIENTEDGE;
        text.clear();
        break;
    default:
        return; // timers, images and lines have no window (lines are drawn on the form)
    }
    if (control.BorderStyle() == vbFixedSingle) {
        if (control.Kind() == ControlKind::PictureBox)
            exStyle |= WS_EX_CLIENTEDGE;
        else if (control.Kind() == ControlKind::Label)
            style |= WS_BORDER;
    }
    if (!control.Enabled())
        style |= WS_DISABLED;
    HWND window = CreateWindowExA(exStyle, windowClass, text.c_str(), style, 0, 0, 0, 0,
                                  form.hWnd(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return;
    controls_[window] = &control;
    windows_[&control] = window;
    if (control.Kind() != ControlKind::PictureBox)
        SetWindowSubclass(window, ChildProc, kSubclassId, 0);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control)), FALSE);
    if (control.Kind() == ControlKind::CheckBox)
        SendMessageA(window, BM_SETCHECK, static_cast<CheckBox&>(control).Value(), 0);
    if (control.Kind() == ControlKind::DriveListBox)
        FillDrives(control);
    if (control.Kind() == ControlKind::DirListBox)
        FillFolders(control);
    Place(control);
    ShowChild(control);
}

void NativeWindows::Destroy(Form& form) {
    auto it = windows_.find(&form);
    if (it == windows_.end())
        return;
    HWND window = it->second;
    for (Control* control : form.Controls()) {
        auto child = windows_.find(control);
        if (child != windows_.end()) {
            controls_.erase(child->second);
            folderItems_.erase(child->second);
            windows_.erase(child);
        }
        if (control->Kind() == ControlKind::PictureBox) {
            auto dc = measuring_.find(static_cast<PictureBox*>(control));
            if (dc != measuring_.end()) {
                DeleteDC(dc->second);
                measuring_.erase(dc);
            }
        }
    }
    controls_.erase(window);
    windows_.erase(it);
    if (pressed_ && GetAncestor(pressed_, GA_ROOT) == window)
        pressed_ = nullptr;
    DestroyWindow(window);
}

void NativeWindows::Show(Form& form) {
    HWND window = WindowOf(form);
    if (!window)
        return;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
}

void NativeWindows::Hide(Form& form) {
    if (HWND window = WindowOf(form))
        ShowWindow(window, SW_HIDE);
}

void NativeWindows::RefreshInput() {
    for (Form* form : Runtime::Get().LoadedForms()) {
        HWND window = WindowOf(*form);
        if (!window)
            continue;
        bool takes = form->Enabled() && Runtime::Get().TakesInput(*form);
        if (!IsWindowEnabled(window) != !takes)
            EnableWindow(window, takes);
    }
}

// ---- Mirroring.

void NativeWindows::Place(Control& control) {
    HWND window = WindowOf(control);
    if (!window)
        return;
    float x = 0, y = 0;
    FormOffset(control, x, y);
    int height = PixelsY(control.Height());
    if (control.Kind() == ControlKind::DriveListBox)
        height += kDropDownListPixels;
    SetWindowPos(window, IsContainer(control) ? HWND_BOTTOM : nullptr, PixelsX(x), PixelsY(y),
                 PixelsX(control.Width()), height,
                 SWP_NOACTIVATE | (IsContainer(control) ? 0 : SWP_NOZORDER));
}

void NativeWindows::PlaceAll(Form& form) {
    for (Control* control : form.Controls()) {
        Place(*control);
        ShowChild(*control);
    }
}

void NativeWindows::ShowChild(Control& control) {
    if (HWND window = WindowOf(control))
        ShowWindow(window, ShownWithParents(control) ? SW_SHOWNA : SW_HIDE);
}

void NativeWindows::Changed(Control& control, Property what) {
    HWND window = WindowOf(control);
    if (!window) {
        if (control.Kind() == ControlKind::Line || control.Kind() == ControlKind::Image) {
            if (HWND form = WindowOf(control.Parent()))
                InvalidateRect(form, nullptr, TRUE);
        }
        return;
    }
    mirroring_ = true;
    bool isForm = control.Kind() == ControlKind::Form;
    switch (what) {
    case Property::Caption:
        SetWindowTextA(window, Ansi(control.Caption()).c_str());
        break;
    case Property::Text: {
        std::string text = Ansi(static_cast<TextBox&>(control).Text());
        char current[1024] = {};
        GetWindowTextA(window, current, sizeof current);
        if (text != current)
            SetWindowTextA(window, text.c_str());
        break;
    }
    case Property::Value:
        SendMessageA(window, BM_SETCHECK, static_cast<CheckBox&>(control).Value(), 0);
        break;
    case Property::Enabled:
        if (isForm)
            RefreshInput();
        else
            EnableWindow(window, control.Enabled());
        break;
    case Property::Visible:
        if (!isForm) {
            if (IsContainer(control))
                PlaceAll(control.Parent());
            else
                ShowChild(control);
        }
        break;
    case Property::Position:
        if (isForm)
            SetWindowPos(window, nullptr, PixelsX(control.Left()), PixelsY(control.Top()),
                         PixelsX(control.Width()), PixelsY(control.Height()),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        else if (IsContainer(control))
            PlaceAll(control.Parent());
        else
            Place(control);
        break;
    case Property::Font:
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control)), TRUE);
        break;
    case Property::Border:
        if (control.Kind() == ControlKind::Label) {
            LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
            style = control.BorderStyle() == vbFixedSingle ? (style | WS_BORDER)
                                                           : (style & ~LONG_PTR{WS_BORDER});
            SetWindowLongPtrA(window, GWL_STYLE, style);
            SetWindowPos(window, nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                             SWP_FRAMECHANGED);
        }
        break;
    case Property::Drive:
        FillDrives(control);
        break;
    case Property::Path:
        FillFolders(control);
        break;
    case Property::Colours:
    case Property::MousePointer:
    case Property::Interval:
        break;
    }
    InvalidateRect(window, nullptr, TRUE);
    mirroring_ = false;
}

void NativeWindows::Redraw(PictureBox& box) {
    if (HWND window = WindowOf(box)) {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }
}

// ---- Lookups.

HWND NativeWindows::WindowOf(const Control& control) const {
    auto it = windows_.find(&control);
    return it == windows_.end() ? nullptr : it->second;
}

Control* NativeWindows::ControlOf(HWND window) const {
    auto it = controls_.find(window);
    return it == controls_.end() ? nullptr : it->second;
}

// ---- Window procedures.

void NativeWindows::Notify(Input::Kind kind, HWND window, std::string value) {
    if (mirroring_)
        return;
    onInput_(Input{kind, window, std::move(value)});
}

LRESULT NativeWindows::ChildMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    Control* control = ControlOf(window);
    if (!control)
        return 0;
    switch (message) {
    case WM_ERASEBKGND: // a group box leaves its inside unpainted; a frame is opaque
        if (control->Kind() == ControlKind::Frame) {
            RECT inside{};
            GetClientRect(window, &inside);
            FillRect(reinterpret_cast<HDC>(wParam), &inside, Brush(control->BackColor()));
            handled = true;
            return TRUE;
        }
        return 0;
    case WM_SETCURSOR:
        if (control->MousePointer() == vbCustom && LOWORD(lParam) == HTCLIENT) {
            SetCursor(Cursor(control->MouseIcon()));
            handled = true;
            return TRUE;
        }
        return 0;
    case WM_MOUSEMOVE:
        if (control->OnMouseMove)
            Notify(Input::Kind::MouseMove, window);
        return 0;
    case WM_LBUTTONUP:
        if (control->Kind() == ControlKind::Label && control->OnMouseUp)
            Notify(Input::Kind::MouseUp, window);
        return 0;
    case WM_APP: // a folder opened by a script: lParam points to its path (UTF-8)
        if (control->Kind() == ControlKind::DirListBox) {
            Notify(Input::Kind::Set, window, *reinterpret_cast<const std::string*>(lParam));
            handled = true;
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace forms::win32
