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

using headless::Step;

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

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

} // namespace

// The step the program takes next; when-steps on the way start waiting for their caption.
const Step* Win32Backend::NextStep() {
    while (next_ < script_->steps.size() && script_->steps[next_].kind == Step::Kind::When)
        triggers_.push_back(&script_->steps[next_++]);
    return next_ < script_->steps.size() ? &script_->steps[next_] : nullptr;
}

Control* Win32Backend::Resolve(const headless::Target& target, std::string& why) const {
    Form* form = Runtime::Get().FindLoaded(target.form);
    if (!form) {
        why = target.form + " is not loaded";
        return nullptr;
    }
    Control* control = form;
    if (!target.control.empty())
        control = form->FindControl(target.control, target.index);
    if (!control) {
        why = target.form + " has no control " + target.Text().substr(target.form.size() + 1);
        return nullptr;
    }
    why = WhyNoInput(*control);
    return control;
}

void Win32Backend::CaptionChanged(Control& control) {
    Write("caption " + control.PathName() + " " + headless::Quote(control.Caption()));
    for (auto it = triggers_.begin(); it != triggers_.end(); ++it) {
        const Step& when = **it;
        if (!SameName(when.target.Text(), control.PathName()) || when.caption != control.Caption())
            continue;
        queued_.push_back(when.then.get());
        triggers_.erase(it);
        return;
    }
}

// Sends the message a user's action would cause; what a control makes of it comes back as
// input (OnInput). A message the control ignored is delivered as that input directly.
void Win32Backend::Deliver(const Step& step, Control& control) {
    HWND window = windows_.WindowOf(control);
    if (!window) {
        window = windows_.WindowOf(control.Parent());
        if (!window)
            Fail(step, control.PathName() + " has no window");
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
        direct.kind = Input::Kind::Close;
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case Step::Kind::Set: {
        direct.kind = Input::Kind::Set;
        direct.value = step.value;
        if (control.Kind() == ControlKind::TextBox) {
            SetWindowTextA(window, win::ToAnsi(step.value).c_str());
        } else if (control.Kind() == ControlKind::CheckBox) {
            bool wanted = step.value == "1";
            bool valid = step.value == "0" || step.value == "1";
            if (valid && wanted != (static_cast<CheckBox&>(control).Value() == vbChecked))
                SendMessageA(window, BM_CLICK, 0, 0);
            else if (valid)
                direct.value.clear(); // already so: nothing to do
        } else if (control.Kind() == ControlKind::DriveListBox && !step.value.empty()) {
            std::string prefix(
                1, static_cast<char>(std::tolower(static_cast<unsigned char>(step.value[0]))));
            prefix += ':';
            LRESULT at = SendMessageA(window, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(prefix.c_str()));
            if (at != CB_ERR && (step.value.size() == 1 || step.value[1] == ':')) {
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
    bool quietCheck = step.kind == Step::Kind::Set && control.Kind() == ControlKind::CheckBox &&
                      direct.value.empty();
    if (pending_.size() == before && !quietCheck && direct.window)
        pending_.push_back({direct, &step});
    RunPending();
}

// Steps their captions released, as soon as their controls can take them.
bool Win32Backend::DeliverQueuedSteps() {
    bool delivered = false;
    while (!queued_.empty()) {
        const Step* step = queued_.front();
        std::string why;
        Control* control = Resolve(step->target, why);
        if (!control || !why.empty())
            break;
        queued_.pop_front();
        Deliver(*step, *control);
        delivered = true;
    }
    return delivered;
}

void Win32Backend::ScriptWait() {
    PumpWaiting();
    if (RunPending())
        return;
    const Step* step = NextStep();
    if (!step)
        throw BackendFailure(script_->name +
                             ": the script ended while the program waits for input; the "
                             "program shows " +
                             Shows());
    if (step->kind == Step::Kind::Answer) {
        if (!WaitOnTimers())
            Fail(*step, "no message box is shown" + Waited());
        return;
    }
    std::string why;
    Control* control = Resolve(step->target, why);
    if (control && why.empty()) {
        ++next_;
        NextStep();
        Deliver(*step, *control);
        return;
    }
    if (!WaitOnTimers())
        Fail(*step, why + Waited());
}

// Lets the next timer tick, the windows going on meanwhile; false when there is none or
// the wait for this step is over.
bool Win32Backend::WaitOnTimers() {
    DWORD now = win::GetTickCount();
    if (waitingFor_ != next_) {
        waitingFor_ = next_;
        waitStarted_ = now;
    }
    if (now - waitStarted_ > kWaitBound)
        return false;
    std::optional<DWORD> in = Runtime::Get().NextTimerIn();
    if (!in)
        return false;
    if (*in > 0) {
        DWORD due = now + *in;
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

std::string Win32Backend::Waited() const {
    if (waitingFor_ != next_)
        return {};
    DWORD waited = win::GetTickCount() - waitStarted_;
    return waited ? " (timers ran for " + std::to_string(waited) + " ms)" : std::string();
}

int Win32Backend::ScriptedMessageBox(std::string_view text, int style, const std::string& ansiText,
                                     const std::string& ansiTitle, HWND owner) {
    std::string box = "a message box " + std::to_string(style) + " " + headless::Quote(text);
    const Step* step = NextStep();
    if (!step)
        throw BackendFailure(script_->name + ": the script ended, but the program shows " + box);
    if (step->kind != Step::Kind::Answer)
        Fail(*step, "the program shows " + box + " first");
    if (step->expected && *step->expected != text)
        Fail(*step, "the program shows " + box);
    bool yesNo = (style & 0x0F) == vbYesNo;
    if (yesNo == (step->answer == headless::Answer::Ok))
        Fail(*step, box + " has no button for this answer");
    ++next_;
    NextStep();
    g_answering = {};
    g_answering.button = step->answer == headless::Answer::Yes  ? IDYES
                         : step->answer == headless::Answer::No ? IDNO
                                                                : IDOK;
    g_answering.backend = this;
    g_answering.hook = SetWindowsHookExA(WH_CBT, WatchForTheBox, nullptr, GetCurrentThreadId());
    int code = ::MessageBoxA(owner, ansiText.c_str(), ansiTitle.c_str(),
                             static_cast<UINT>(style) | MB_SETFOREGROUND);
    if (g_answering.hook)
        UnhookWindowsHookEx(g_answering.hook);
    g_answering.hook = nullptr;
    if (g_answering.screenshotFailed)
        throw BackendFailure("cannot save a screenshot of the message box into " + screenshots_);
    if (code != g_answering.button)
        Fail(*step, box + " was answered " + std::to_string(code) + " instead");
    return code;
}

void Win32Backend::Fail(const Step& step, const std::string& why) const {
    throw BackendFailure(script_->name + ":" + std::to_string(step.line) + ": step '" +
                         win::QuotedInput(step.source) +
                         "' cannot run: " + win::QuotedInput(why, 4 * win::kQuotedInputLimit) +
                         "; the program shows " + Shows());
}

} // namespace forms::win32
