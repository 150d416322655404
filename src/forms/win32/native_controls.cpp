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
#include <optional>

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

std::optional<ChildWindow> ChildWindowOf(const Control& control) {
    switch (control.Kind()) {
    case ControlKind::CommandButton:
    case ControlKind::CheckBox:
    case ControlKind::Frame:
        return ButtonWindow(control);
    case ControlKind::Label:
        return LabelWindow(control);
    case ControlKind::TextBox:
        return TextBoxWindow(control);
    case ControlKind::PictureBox:
        return PictureWindow(control);
    case ControlKind::DriveListBox:
        return DriveListWindow();
    case ControlKind::DirListBox:
        return FolderListWindow();
    default:
        return std::nullopt; // timers, images and lines (drawn on the form) have no window
    }
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
    CreateChildren(form);
    mirroring_ = false;
}

void NativeWindows::CreateChildren(Form& form) {
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
}

void NativeWindows::CreateChild(Form& form, Control& control) {
    std::optional<ChildWindow> made = ChildWindowOf(control);
    if (!made)
        return;
    DWORD style = made->style | WS_CHILD | WS_CLIPSIBLINGS;
    if (!control.Enabled())
        style |= WS_DISABLED;
    HWND window = CreateWindowExA(made->exStyle, made->windowClass, made->text.c_str(), style, 0, 0,
                                  0, 0, form.hWnd(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return;
    controls_[window] = &control;
    windows_[&control] = window;
    if (control.Kind() != ControlKind::PictureBox)
        SetWindowSubclass(window, ChildProc, kSubclassId, 0);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control)), FALSE);
    FillNew(control, window);
    Place(control);
    ShowChild(control);
}

// What a new window shows beside its text: a check box's mark, the lists' items.
void NativeWindows::FillNew(Control& control, HWND window) {
    switch (control.Kind()) {
    case ControlKind::CheckBox:
        MirrorCheck(control, window);
        return;
    case ControlKind::DriveListBox:
        FillDrives(control);
        return;
    case ControlKind::DirListBox:
        FillFolders(control);
        return;
    default:
        return;
    }
}

void NativeWindows::Destroy(Form& form) {
    auto it = windows_.find(&form);
    if (it == windows_.end())
        return;
    HWND window = it->second;
    for (Control* control : form.Controls())
        Forget(*control);
    controls_.erase(window);
    windows_.erase(it);
    DestroyWindow(window);
}

// A child's entries in the tables, and what was kept for it, go with its form's window.
void NativeWindows::Forget(Control& control) {
    auto child = windows_.find(&control);
    if (child != windows_.end()) {
        controls_.erase(child->second);
        folderItems_.erase(child->second);
        windows_.erase(child);
    }
    if (control.Kind() != ControlKind::PictureBox)
        return;
    auto dc = measuring_.find(static_cast<PictureBox*>(&control));
    if (dc == measuring_.end())
        return;
    DeleteDC(dc->second);
    measuring_.erase(dc);
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
    Mirror(control, window, what);
    InvalidateRect(window, nullptr, TRUE);
    mirroring_ = false;
}

void NativeWindows::Mirror(Control& control, HWND window, Property what) {
    switch (what) {
    case Property::Caption:
        SetWindowTextA(window, Ansi(control.Caption()).c_str());
        return;
    case Property::Text:
        MirrorText(control, window);
        return;
    case Property::Value:
        MirrorCheck(control, window);
        return;
    case Property::Enabled:
        MirrorEnabled(control, window);
        return;
    case Property::Visible:
        MirrorVisible(control);
        return;
    case Property::Position:
        MirrorPosition(control, window);
        return;
    case Property::Font:
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control)), TRUE);
        return;
    case Property::Border:
        MirrorBorder(control, window);
        return;
    case Property::Drive:
        FillDrives(control);
        return;
    case Property::Path:
        FillFolders(control);
        return;
    case Property::Colours:
    case Property::MousePointer:
    case Property::Interval:
        return;
    }
}

void NativeWindows::MirrorEnabled(Control& control, HWND window) {
    if (control.Kind() == ControlKind::Form)
        RefreshInput();
    else
        EnableWindow(window, control.Enabled());
}

void NativeWindows::MirrorVisible(Control& control) {
    if (control.Kind() == ControlKind::Form)
        return;
    if (IsContainer(control))
        PlaceAll(control.Parent());
    else
        ShowChild(control);
}

void NativeWindows::MirrorPosition(Control& control, HWND window) {
    if (control.Kind() == ControlKind::Form)
        SetWindowPos(window, nullptr, PixelsX(control.Left()), PixelsY(control.Top()),
                     PixelsX(control.Width()), PixelsY(control.Height()),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    else if (IsContainer(control))
        PlaceAll(control.Parent());
    else
        Place(control);
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

// The children of standard classes: custom pointers, mouse moves and what their kind adds.
LRESULT NativeWindows::ChildMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    Control* control = ControlOf(window);
    if (!control)
        return 0;
    switch (message) {
    case WM_ERASEBKGND:
        return EraseFrame(*control, window, reinterpret_cast<HDC>(wParam), handled);
    case WM_SETCURSOR:
        return SetPointer(*control, lParam, handled);
    case WM_MOUSEMOVE:
        MouseMove(*control, window);
        return 0;
    case WM_LBUTTONUP:
        MouseUp(*control, window);
        return 0;
    case WM_APP:
        return ScriptFolder(*control, window, lParam, handled);
    default:
        return 0;
    }
}

LRESULT NativeWindows::SetPointer(Control& control, LPARAM lParam, bool& handled) {
    if (control.MousePointer() != vbCustom || LOWORD(lParam) != HTCLIENT)
        return 0;
    SetCursor(Cursor(control.MouseIcon()));
    handled = true;
    return TRUE;
}

} // namespace forms::win32
