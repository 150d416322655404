#include "forms/win32/native_controls.h"

#include "forms/controls.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/runtime.h"
#include "forms/screen.h"
#include "platform/codepage.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cmath>

namespace forms::win32 {
namespace {

constexpr char kFormClass[] = "ZepsetupForm";
constexpr char kPictureClass[] = "ZepsetupPicture";
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

std::string Ansi(std::string_view utf8) {
    return win::ToAnsi(utf8);
}

// Window styles of a form's border style (0 none, 1 fixed single, 2 sizable, 3 fixed
// dialog, 4 fixed tool window, 5 sizable tool window).
void FormStyles(int border, DWORD& style, DWORD& exStyle) {
    exStyle = 0;
    switch (border) {
    case vbBSNone:
        style = WS_POPUP;
        return;
    case 2:
        style = WS_OVERLAPPEDWINDOW;
        return;
    case 3:
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        exStyle = WS_EX_DLGMODALFRAME;
        return;
    case 4:
    case 5:
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        exStyle = WS_EX_TOOLWINDOW;
        return;
    default:
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        return;
    }
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

// The colour behind a transparent label: its container's, or its form's.
COLORREF ColourBehind(const Control& control) {
    const Control* container = control.Container();
    return container ? container->BackColor() : control.Parent().BackColor();
}

// Volume label of a drive root, empty when it has none or holds no medium.
std::string VolumeLabel(const std::string& root) {
    char label[MAX_PATH + 1] = {};
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    BOOL ok = GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr,
                                    nullptr, 0);
    SetErrorMode(old);
    return ok ? label : "";
}

} // namespace

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

void NativeWindows::FillDrives(Control& control) {
    HWND window = WindowOf(control);
    auto& list = static_cast<DriveListBox&>(control);
    bool was = mirroring_;
    mirroring_ = true;
    SendMessageA(window, CB_RESETCONTENT, 0, 0);
    int selected = -1;
    for (const std::string& drive : list.List()) {
        std::string root = drive + "\\";
        std::string label = GetDriveTypeA(root.c_str()) == DRIVE_REMOVABLE ? "" : VolumeLabel(root);
        std::string item = label.empty() ? drive : drive + " [" + label + "]";
        LRESULT at = SendMessageA(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (drive == list.Drive())
            selected = static_cast<int>(at);
    }
    SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    mirroring_ = was;
}

// As the classic folder list shows it: the open folder's ancestors from the root, the open
// folder, then its sub-folders in name order. Each item's full path is kept beside it.
void NativeWindows::FillFolders(Control& control) {
    HWND window = WindowOf(control);
    auto& list = static_cast<DirListBox&>(control);
    std::string path = Ansi(list.Path());
    std::vector<std::string>& items = folderItems_[window];
    items.clear();
    bool was = mirroring_;
    mirroring_ = true;
    SendMessageA(window, LB_RESETCONTENT, 0, 0);
    auto add = [&](const std::string& shown, const std::string& full) {
        SendMessageA(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
        items.push_back(full);
    };
    std::string prefix;
    int depth = 0;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (!part.empty()) {
            prefix += part;
            std::string full = prefix.size() == 2 ? prefix + "\\" : prefix;
            add(std::string(static_cast<size_t>(depth) * 2, ' ') + part, full);
            prefix += '\\';
            ++depth;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    int open = static_cast<int>(items.size()) - 1;
    std::string base = path.back() == '\\' ? path : path + "\\";
    std::vector<std::string> subs;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((base + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..")
                subs.push_back(name);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    std::sort(subs.begin(), subs.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    for (const std::string& name : subs)
        add(std::string(static_cast<size_t>(depth) * 2, ' ') + name, base + name);
    SendMessageA(window, LB_SETCURSEL, static_cast<WPARAM>(open), 0);
    mirroring_ = was;
}

// ---- Lookups and GDI objects.

HWND NativeWindows::WindowOf(const Control& control) const {
    auto it = windows_.find(&control);
    return it == windows_.end() ? nullptr : it->second;
}

Control* NativeWindows::ControlOf(HWND window) const {
    auto it = controls_.find(window);
    return it == controls_.end() ? nullptr : it->second;
}

HFONT NativeWindows::FontFor(const Control& control) {
    const forms::Font& font = control.Font();
    std::string key = font.name + "|" + std::to_string(font.size) + "|" +
                      std::to_string(font.bold) + std::to_string(font.italic) +
                      std::to_string(font.underline);
    auto it = fonts_.find(key);
    if (it != fonts_.end())
        return it->second;
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    int height = -static_cast<int>(std::lround(font.size * static_cast<float>(dpi) / 72));
    HFONT created =
        CreateFontA(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic, font.underline,
                    FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, Ansi(font.name).c_str());
    fonts_[key] = created;
    return created;
}

HBRUSH NativeWindows::Brush(COLORREF colour) {
    auto it = brushes_.find(colour);
    if (it != brushes_.end())
        return it->second;
    HBRUSH brush = CreateSolidBrush(colour);
    brushes_[colour] = brush;
    return brush;
}

HDC NativeWindows::MeasuringContext(PictureBox& box) {
    auto it = measuring_.find(&box);
    if (it == measuring_.end())
        it = measuring_.emplace(&box, CreateCompatibleDC(nullptr)).first;
    SelectObject(it->second, FontFor(box));
    return it->second;
}

HCURSOR NativeWindows::Cursor(const std::string& picture) {
    auto it = cursors_.find(picture);
    if (it != cursors_.end())
        return it->second;
    HCURSOR cursor = LoadCursorA(nullptr, IDC_HAND);
    if (picture == "hand_pressed") {
        // A closed hand: a filled fist with its outline, 32 x 32, hot spot at the top.
        BYTE andMask[128], xorMask[128];
        for (int row = 0; row < 32; ++row) {
            for (int byte = 0; byte < 4; ++byte) {
                BYTE a = 0xFF, x = 0x00;
                for (int bit = 0; bit < 8; ++bit) {
                    int col = byte * 8 + bit;
                    bool inside = row >= 6 && row <= 22 && col >= 6 && col <= 21;
                    bool edge = inside && (row == 6 || row == 22 || col == 6 || col == 21 ||
                                           (row == 10 && col < 18) || (col % 4 == 2 && row < 10));
                    if (inside) {
                        a &= static_cast<BYTE>(~(0x80 >> bit));
                        if (!edge)
                            x |= static_cast<BYTE>(0x80 >> bit);
                    }
                }
                andMask[row * 4 + byte] = a;
                xorMask[row * 4 + byte] = x;
            }
        }
        if (HCURSOR fist = CreateCursor(GetModuleHandleA(nullptr), 12, 6, 32, 32, andMask, xorMask))
            cursor = fist;
    }
    cursors_[picture] = cursor;
    return cursor;
}

// ---- Window procedures.

void NativeWindows::Notify(Input::Kind kind, HWND window, std::string value) {
    if (mirroring_)
        return;
    onInput_(Input{kind, window, std::move(value)});
}

LRESULT NativeWindows::ColourFor(HWND child, HDC dc) {
    Control* control = ControlOf(child);
    if (!control)
        return 0;
    SetTextColor(dc, control->ForeColor());
    if (control->Kind() == ControlKind::Label && control->BackStyle() == vbTransparent) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(Brush(ColourBehind(*control)));
    }
    COLORREF back = control->BackColor();
    if (control->Kind() == ControlKind::CheckBox || control->Kind() == ControlKind::Frame)
        back = control->BackColor();
    SetBkColor(dc, back);
    return reinterpret_cast<LRESULT>(Brush(back));
}

LRESULT NativeWindows::FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = ControlOf(window);
    if (!control)
        return DefWindowProcA(window, message, wParam, lParam);
    Form& form = static_cast<Form&>(*control);
    switch (message) {
    case WM_CLOSE:
        Notify(Input::Kind::Close, window);
        return 0;
    case WM_ERASEBKGND: {
        RECT rect;
        GetClientRect(window, &rect);
        FillRect(reinterpret_cast<HDC>(wParam), &rect, Brush(form.BackColor()));
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        PaintForm(form, dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (LRESULT brush =
                ColourFor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
            return brush;
        break;
    case WM_COMMAND: {
        HWND child = reinterpret_cast<HWND>(lParam);
        Control* from = ControlOf(child);
        if (!from)
            break;
        WORD code = HIWORD(wParam);
        switch (from->Kind()) {
        case ControlKind::CommandButton:
        case ControlKind::CheckBox:
            if (code == BN_CLICKED)
                Notify(Input::Kind::Click, child);
            break;
        case ControlKind::Label:
            if (code == STN_CLICKED)
                Notify(Input::Kind::Click, child);
            break;
        case ControlKind::TextBox:
            if (code == EN_CHANGE) {
                int n = GetWindowTextLengthA(child);
                std::string text(static_cast<size_t>(n) + 1, '\0');
                GetWindowTextA(child, text.data(), n + 1);
                text.resize(static_cast<size_t>(n));
                Notify(Input::Kind::Set, child, win::FromAnsi(text));
            }
            break;
        case ControlKind::DriveListBox:
            if (code == CBN_SELCHANGE) {
                LRESULT at = SendMessageA(child, CB_GETCURSEL, 0, 0);
                char item[MAX_PATH] = {};
                if (at >= 0 && SendMessageA(child, CB_GETLBTEXTLEN, at, 0) < MAX_PATH)
                    SendMessageA(child, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(item));
                Notify(Input::Kind::Set, child, win::FromAnsi(std::string(item).substr(0, 2)));
            }
            break;
        case ControlKind::DirListBox:
            if (code == LBN_DBLCLK) {
                LRESULT at = SendMessageA(child, LB_GETCURSEL, 0, 0);
                const auto& items = folderItems_[child];
                if (at >= 0 && static_cast<size_t>(at) < items.size())
                    Notify(Input::Kind::Set, child, win::FromAnsi(items[static_cast<size_t>(at)]));
            }
            break;
        default:
            break;
        }
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void NativeWindows::PaintForm(Form& form, HDC dc) {
    for (Control* control : form.Controls()) {
        if (control->Kind() != ControlKind::Line || !ShownWithParents(*control))
            continue;
        auto& line = static_cast<Line&>(*control);
        float x = 0, y = 0;
        FormOffset(line, x, y);
        x -= line.Left();
        y -= line.Top();
        HPEN pen = CreatePen(PS_SOLID, 1, line.BorderColor());
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, PixelsX(x + line.X1()), PixelsY(y + line.Y1()), nullptr);
        LineTo(dc, PixelsX(x + line.X2()), PixelsY(y + line.Y2()));
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

LRESULT NativeWindows::PictureMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = ControlOf(window);
    if (!control)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // painted whole in WM_PAINT
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        PaintPicture(static_cast<PictureBox&>(*control), dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONUP:
        Notify(Input::Kind::MouseUp, window);
        Notify(Input::Kind::Click, window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The box's background, then its drawing in order: texts in their font and colour, boxes
// filled in their drawing mode (not-xor keeps the progress figures readable under the bar).
void NativeWindows::PaintPicture(PictureBox& box, HDC target) {
    RECT client;
    GetClientRect(WindowOf(box), &client);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &client, Brush(box.BackColor()));
    SetBkMode(dc, TRANSPARENT);
    for (const Drawing& d : box.Drawings()) {
        switch (d.kind) {
        case Drawing::Kind::Clear:
            FillRect(dc, &client, Brush(box.BackColor()));
            break;
        case Drawing::Kind::Text: {
            std::string text = Ansi(d.text);
            HGDIOBJ old = SelectObject(dc, FontFor(box));
            SetTextColor(dc, d.colour);
            SetROP2(dc, R2_COPYPEN);
            TextOutA(dc, PixelsX(d.x1), PixelsY(d.y1), text.c_str(), static_cast<int>(text.size()));
            SelectObject(dc, old);
            break;
        }
        case Drawing::Kind::FilledBox: {
            SetROP2(dc, d.drawMode == vbNotXorPen ? R2_NOTXORPEN : R2_COPYPEN);
            HGDIOBJ oldBrush = SelectObject(dc, Brush(d.colour));
            HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
            Rectangle(dc, PixelsX(d.x1), PixelsY(d.y1), PixelsX(d.x2) + 1, PixelsY(d.y2) + 1);
            SelectObject(dc, oldPen);
            SelectObject(dc, oldBrush);
            SetROP2(dc, R2_COPYPEN);
            break;
        }
        }
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
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
