#include "forms/win32/win32_backend.h"

#include "forms/form.h"
#include "forms/input.h"
#include "forms/msgbox.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace forms::win32 {
namespace {

// Messages handled in one DoEvents pass at most, so that a window that keeps posting to
// itself cannot hold the program.
constexpr int kPassLimit = 10000;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Paints what the window still has to paint, as it will be when the user looks.
void FinishPainting(HWND window) {
    if (window)
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

// What of rect lies off the screen, in memory's coordinates (rect's top left at 0, 0), is
// painted magenta: it was never drawn, and black would look like a failed capture.
void MarkOffScreen(HDC memory, const RECT& rect) {
    RECT screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    HRGN off = CreateRectRgn(0, 0, rect.right - rect.left, rect.bottom - rect.top);
    HRGN on = CreateRectRgn(screen.left - rect.left, screen.top - rect.top,
                            screen.right - rect.left, screen.bottom - rect.top);
    CombineRgn(off, off, on, RGN_DIFF);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRgn(memory, off, magenta);
    DeleteObject(magenta);
    DeleteObject(on);
    DeleteObject(off);
}

// A 24-bit BMP of window (its frame included; the screen for null) at rect on the screen;
// false when it could not be taken or written. The window's own device context holds what
// the program drew there: Wine's X11 driver keeps it in a surface of its own and puts it
// on the X screen only while the program waits for messages, so a copy of the screen
// comes out black or holds what lies above the window.
bool SaveWindowPicture(const std::string& path, const RECT& rect, HWND window) {
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = window ? GetWindowDC(window) : GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool taken = window ? BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY)
                        : BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    MarkOffScreen(memory, rect);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::string pixels(static_cast<size_t>(rowBytes) * static_cast<size_t>(height), '\0');
    taken = taken && GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    if (!taken)
        return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace

Win32Backend::Win32Backend(std::optional<script::UiScript> script,
                           std::shared_ptr<script::Transcript> transcript, std::string screenshots)
    : windows_([this](Input input) { OnInput(std::move(input)); }),
      transcript_(std::move(transcript)), screenshots_(std::move(screenshots)) {
    if (!transcript_)
        transcript_ = std::make_shared<script::Transcript>(); // kept in memory only
    if (script)
        player_ = std::make_unique<script::UiScriptPlayer>(
            std::move(*script),
            [this](const script::Step& step, Control& control) { return Deliver(step, control); },
            [this] { return RunNextTimer(); });
}

Win32Backend::~Win32Backend() = default;

// ---- Mirroring the model.

void Win32Backend::FormLoaded(Form& form) {
    windows_.Create(form);
}

void Win32Backend::FormShown(Form& form, bool modal) {
    transcript_->Shown(form, modal);
    windows_.Show(form);
    ScreenshotOrFail(form.Name() + "-shown", windows_.WindowOf(form));
}

void Win32Backend::FormHidden(Form& form) {
    windows_.Hide(form);
}

void Win32Backend::FormUnloaded(Form& form) {
    transcript_->Unloaded(form);
    windows_.Destroy(form);
}

void Win32Backend::FormDropped(Form& form) {
    windows_.Destroy(form);
}

void Win32Backend::ControlChanged(Control& control, Property what) {
    windows_.Changed(control, what);
    if (what != Property::Caption)
        return;
    transcript_->Captioned(control);
    if (player_)
        player_->Captioned(control);
}

void Win32Backend::Drawn(PictureBox& box, const Drawing& drawing) {
    windows_.Redraw(box);
    transcript_->Drawn(box, drawing);
}

HDC Win32Backend::DeviceContextFor(PictureBox& box) {
    return windows_.MeasuringContext(box);
}

// ---- Input.

void Win32Backend::OnInput(Input input) {
    pending_.push_back({std::move(input), delivering_});
}

// Hands queued input to the model, outside any window procedure.
bool Win32Backend::RunPending() {
    bool delivered = false;
    while (!pending_.empty()) {
        Pending p = std::move(pending_.front());
        pending_.pop_front();
        Control* control = windows_.ControlOf(p.input.window);
        if (!control || !WhyNoInput(*control).empty())
            continue; // its window went, or it cannot take input any more
        delivered = true;
        switch (p.input.kind) {
        case Input::Kind::Click:
            UserClick(*control);
            break;
        case Input::Kind::MouseUp:
            UserMouseUp(*control);
            break;
        case Input::Kind::MouseMove:
            UserMouseMove(*control);
            break;
        case Input::Kind::Close:
            if (control->Kind() == ControlKind::Form)
                UserClose(static_cast<Form&>(*control));
            break;
        case Input::Kind::Set:
            if (std::string wrong = UserSet(*control, p.input.value); !wrong.empty() && p.step)
                player_->Fail(*p.step, wrong);
            break;
        }
    }
    return delivered;
}

void Win32Backend::PumpWaiting() {
    MSG msg;
    for (int n = 0; n < kPassLimit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && windows_.ControlOf(root) && IsDialogMessageA(root, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Sleeps until a message arrives, or a thread timer set for milliseconds fires.
void Win32Backend::WaitForMessage(DWORD milliseconds) {
    UINT_PTR timer = 0;
    if (milliseconds != INFINITE)
        timer = SetTimer(nullptr, 0, milliseconds ? milliseconds : 1, nullptr);
    WaitMessage();
    if (timer)
        KillTimer(nullptr, timer);
}

bool Win32Backend::DeliverWaitingInput() {
    windows_.RefreshInput();
    PumpWaiting();
    bool delivered = RunPending();
    if (player_ && player_->DeliverQueued())
        delivered = true;
    return delivered;
}

void Win32Backend::WaitForInput() {
    windows_.RefreshInput();
    if (RunPending())
        return;
    if (player_) {
        PumpWaiting();
        if (!RunPending())
            player_->WaitForInput();
        return;
    }
    std::optional<DWORD> next = Runtime::Get().NextTimerIn();
    WaitForMessage(next ? *next : INFINITE);
    PumpWaiting();
    RunPending();
}

int Win32Backend::MessageBox(std::string_view text, int style, std::string_view title) {
    std::string ansiText = win::ToAnsi(text);
    std::string ansiTitle = win::ToAnsi(title);
    HWND owner = nullptr;
    if (Form* modal = Runtime::Get().ActiveModal())
        owner = windows_.WindowOf(*modal);
    int code = 0;
    if (player_) {
        code = ScriptedMessageBox(text, style, ansiText, ansiTitle, owner);
    } else {
        code = ::MessageBoxA(owner, ansiText.c_str(), ansiTitle.c_str(),
                             static_cast<UINT>(style) | MB_SETFOREGROUND);
    }
    int answer = code == vbYes || code == vbNo ? code : vbOK;
    transcript_->MessageBox(style, text, answer);
    return answer;
}

void Win32Backend::ProgramEnded() {
    transcript_->Ended();
    if (player_)
        player_->Ended();
}

bool Win32Backend::Screenshot(const std::string& name, HWND window) {
    if (screenshots_.empty())
        return true;
    RECT rect{};
    if (!window || !GetWindowRect(window, &rect)) {
        rect.right = GetSystemMetrics(SM_CXSCREEN);
        rect.bottom = GetSystemMetrics(SM_CYSCREEN);
    }
    FinishPainting(window);
    char number[8];
    std::snprintf(number, sizeof number, "%02d", ++shots_);
    return SaveWindowPicture(screenshots_ + "\\" + number + "-" + name + ".bmp", rect, window);
}

void Win32Backend::ScreenshotOrFail(const std::string& name, HWND window) {
    if (!Screenshot(name, window))
        throw BackendFailure("cannot save a screenshot of " + name + " into " + screenshots_);
}

// ---- Choosing the backend.

std::unique_ptr<Backend> ChooseWin32Backend() {
    std::string ui = Environment("ZEPSETUP_UI");
    if (!ui.empty() && ui != "win32")
        throw BackendFailure("ZEPSETUP_UI=" + ui +
                             ": the Windows build has its native windows only (win32); a UI "
                             "script in ZEPSETUP_UI_SCRIPT drives them");
    std::string path = Environment("ZEPSETUP_UI_SCRIPT");
    std::string transcriptPath = Environment("ZEPSETUP_TRANSCRIPT");
    std::optional<script::UiScript> script;
    if (!path.empty())
        script = script::ReadUiScript(path);
    std::shared_ptr<script::Transcript> transcript;
    if (script || !transcriptPath.empty())
        transcript = script::Transcript::Open(transcriptPath);
    return std::make_unique<Win32Backend>(std::move(script), std::move(transcript),
                                          Environment("ZEPSETUP_SCREENSHOTS"));
}

} // namespace forms::win32
