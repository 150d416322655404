// UI scripts on the native windows: each step becomes the window message a user's action
// would send to the real control, under the headless interface's waiting rules.
#include "forms/win32/win32_backend.h"

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/input.h"
#include "forms/msgbox.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/quoted_input.h"

#include <cctype>

namespace forms::win32 {
namespace {

using script::Step;
using Delivery = script::UiScriptPlayer::Delivery;

// The answer a message box gets while the script runs, and the hook that gives it.
struct Answering {
    int button = IDOK;
    HHOOK hook = nullptr;
    Win32Backend* backend = nullptr;
    bool answered = false;
    bool screenshotFailed = false;
};
Answering g_answering;

void CALLBACK AnswerNow(HWND box, UINT, UINT_PTR timer, DWORD) {
    KillTimer(box, timer);
    if (g_answering.backend && !g_answering.backend->Screenshot("msgbox", box))
        g_answering.screenshotFailed = true; // thrown once the box has returned
    g_answering.answered = true;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(g_answering.button, BN_CLICKED), 0);
}

// The message box's dialog is being activated: answer it from its own loop, after a
// moment in which it paints (and a screenshot may be taken).
LRESULT CALLBACK WatchForTheBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char name[16] = {};
        GetClassNameA(box, name, sizeof name);
        if (std::string_view(name) == "#32770") {
            UnhookWindowsHookEx(g_answering.hook);
            g_answering.hook = nullptr;
            SetTimer(box, 1, 50, AnswerNow);
            return 0;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The steps whose message the native windows make no input of: a click on anything but a
// button, check box or label (a picture box makes MouseUp and Click of the mouse's
// release, and a form or frame has no click message of its own). Their input reaches the
// model directly, as the window would make it.
bool NoNativeInput(Step::Kind step, ControlKind kind) {
    switch (step) {
    case Step::Kind::Click:
        return kind != ControlKind::CommandButton && kind != ControlKind::CheckBox &&
               kind != ControlKind::Label;
    default:
        return false;
    }
}

} // namespace

// Sends the message a user's action would cause; what a control makes of it comes back as
// input (OnInput). Only the steps of NoNativeInput go to the model without their window.
Delivery Win32Backend::Deliver(const Step& step, Control& control) {
    HWND window = windows_.WindowOf(control);
    if (!window) {
        window = windows_.WindowOf(control.Parent());
        if (!window)
            return {false, control.PathName() + " has no window"};
    }
    ScreenshotOrFail(control.Parent().Name(), windows_.WindowOf(control.Parent()));
    delivering_ = &step;
    size_t before = pending_.size();
    Input direct{Input::Kind::Click, windows_.WindowOf(control), {}};
    switch (step.kind) {
    case Step::Kind::Click:
        if (control.Kind() == ControlKind::CommandButton || control.Kind() == ControlKind::CheckBox)
            SendMessageA(window, BM_CLICK, 0, 0);
        else if (control.Kind() == ControlKind::Label)
            SendMessageA(GetParent(window), WM_COMMAND,
                         MAKEWPARAM(GetDlgCtrlID(window), STN_CLICKED),
                         reinterpret_cast<LPARAM>(window));
        break;
    case Step::Kind::MouseUp:
        direct.kind = Input::Kind::MouseUp;
        SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        break;
    case Step::Kind::MouseMove:
        direct.kind = Input::Kind::MouseMove;
        SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        break;
    case Step::Kind::Close:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case Step::Kind::Set: {
        if (std::string why = WhyValueRefused(control, step.value); !why.empty()) {
            delivering_ = nullptr;
            return {false, why};
        }
        if (control.Kind() == ControlKind::TextBox) {
            SetWindowTextA(window, win::ToAnsi(step.value).c_str());
        } else if (control.Kind() == ControlKind::CheckBox) {
            if (!HoldsValue(control, step.value))
                SendMessageA(window, BM_CLICK, 0, 0);
        } else if (control.Kind() == ControlKind::DriveListBox) {
            std::string prefix(
                1, static_cast<char>(std::tolower(static_cast<unsigned char>(step.value[0]))));
            prefix += ':';
            LRESULT at = SendMessageA(window, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(prefix.c_str()));
            if (at != CB_ERR) {
                SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
                SendMessageA(GetParent(window), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(window), CBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(window));
            }
        } else if (control.Kind() == ControlKind::DirListBox) {
            SendMessageA(window, WM_APP, 0, reinterpret_cast<LPARAM>(&step.value));
        }
        break;
    }
    case Step::Kind::Answer:
    case Step::Kind::When:
        break;
    }
    delivering_ = nullptr;
    if (pending_.size() == before && direct.window && NoNativeInput(step.kind, control.Kind()))
        pending_.push_back({direct, &step});
    bool taken = pending_.size() != before;
    RunPending();
    return {taken, {}};
}

// Lets the next timer tick, the windows going on meanwhile; false when there is none.
bool Win32Backend::RunNextTimer() {
    std::optional<DWORD> in = Runtime::Get().NextTimerIn();
    if (!in)
        return false;
    if (*in > 0) {
        DWORD due = win::GetTickCount() + *in;
        if (GetEnvironmentVariableA("ZEPSETUP_FAST_CLOCK", nullptr, 0) > 0)
            win::Sleep(*in);
        while (static_cast<LONG>(due - win::GetTickCount()) > 0) {
            WaitForMessage(due - win::GetTickCount());
            PumpWaiting();
        }
    }
    Runtime::Get().RunDueTimers();
    return true;
}

int Win32Backend::ScriptedMessageBox(std::string_view text, int style, const std::string& ansiText,
                                     const std::string& ansiTitle, HWND owner) {
    // The player checks the box against the script's answer; the real box is then
    // answered with it from its own loop (vbOK, vbYes and vbNo are IDOK, IDYES and IDNO).
    int answer = player_->TakeAnswer(text, style);
    g_answering = {};
    g_answering.button = answer;
    g_answering.backend = this;
    g_answering.hook = SetWindowsHookExA(WH_CBT, WatchForTheBox, nullptr, GetCurrentThreadId());
    int code = ::MessageBoxA(owner, ansiText.c_str(), ansiTitle.c_str(),
                             static_cast<UINT>(style) | MB_SETFOREGROUND);
    if (g_answering.hook)
        UnhookWindowsHookEx(g_answering.hook);
    g_answering.hook = nullptr;
    if (g_answering.screenshotFailed)
        throw BackendFailure("cannot save a screenshot of the message box into " + screenshots_);
    if (code != answer)
        throw BackendFailure(player_->script().name + ": a message box " + std::to_string(style) +
                             " " + script::Quote(text) + " was answered " + std::to_string(code) +
                             " instead of " + std::to_string(answer));
    return code;
}

} // namespace forms::win32
