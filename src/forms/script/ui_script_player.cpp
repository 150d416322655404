#include "forms/script/ui_script_player.h"

#include "forms/form.h"
#include "forms/input.h"
#include "forms/msgbox.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "platform/kernel32.h"
#include "platform/quoted_input.h"

#include <cctype>

namespace forms::script {
namespace {

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

} // namespace

UiScriptPlayer::UiScriptPlayer(UiScript script, Performer perform, TimerWait waitForTimer)
    : script_(std::move(script)), perform_(std::move(perform)),
      waitForTimer_(std::move(waitForTimer)) {
    if (!waitForTimer_)
        waitForTimer_ = [] { return Runtime::Get().RunNextTimer(); };
    NextStep(); // when-steps at the start wait from the start
}

void UiScriptPlayer::Captioned(const Control& control) {
    for (auto it = triggers_.begin(); it != triggers_.end(); ++it) {
        const Step& when = **it;
        if (!SameName(when.target.Text(), control.PathName()) || when.caption != control.Caption())
            continue;
        queued_.push_back(when.then.get());
        triggers_.erase(it);
        return;
    }
}

// The step the program takes next; when-steps on the way start waiting for their caption.
const Step* UiScriptPlayer::NextStep() {
    while (next_ < script_.steps.size() && script_.steps[next_].kind == Step::Kind::When)
        triggers_.push_back(&script_.steps[next_++]);
    return next_ < script_.steps.size() ? &script_.steps[next_] : nullptr;
}

Control* UiScriptPlayer::Resolve(const Target& target, std::string& why) const {
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

namespace {

// The program acts on step at control: a click on a button or check box, a click, mouse
// release or mouse move on a control that handles it, a close, a value the control does
// not hold yet.
bool ActsOn(const Step& step, const Control& control) {
    switch (step.kind) {
    case Step::Kind::Click:
        return control.Kind() == ControlKind::CommandButton ||
               control.Kind() == ControlKind::CheckBox || static_cast<bool>(control.OnClick);
    case Step::Kind::MouseUp:
        return static_cast<bool>(control.OnMouseUp);
    case Step::Kind::MouseMove:
        return static_cast<bool>(control.OnMouseMove);
    case Step::Kind::Close:
        return true;
    case Step::Kind::Set:
        return !HoldsValue(control, step.value);
    case Step::Kind::Answer:
    case Step::Kind::When:
        return false;
    }
    return false;
}

} // namespace

// One rule for input on every interface, whether the model takes the step directly
// (headless) or a window makes input of it (qt, win32): a step runs once its control can
// take input (WhyNoInput); a control that refuses it (a value it does not take) stops the
// run with why; a window that makes no input of a step the program would act on (ActsOn)
// stops the run with "the window took no input from it", as a user's action would be lost
// there. A step the program would not act on may pass without input, as for a user.
void UiScriptPlayer::Perform(const Step& step, Control& control) {
    Delivery delivery = perform_(step, control);
    if (!delivery.refused.empty())
        Fail(step, delivery.refused);
    if (!delivery.taken && ActsOn(step, control))
        Fail(step, "the window took no input from it");
}

bool UiScriptPlayer::DeliverQueued() {
    bool delivered = false;
    while (!queued_.empty()) {
        const Step* step = queued_.front();
        std::string why;
        Control* control = Resolve(step->target, why);
        if (!control || !why.empty())
            break; // it arrives once its control can take it
        queued_.pop_front();
        Perform(*step, *control);
        delivered = true;
    }
    return delivered;
}

// Lets the next timer tick; false when there is none or the wait for this step is over.
bool UiScriptPlayer::WaitOnTimers() {
    DWORD now = win::GetTickCount();
    if (waitingFor_ != next_) {
        waitingFor_ = next_;
        waitStarted_ = now;
    }
    if (now - waitStarted_ > kWaitBound)
        return false;
    return waitForTimer_();
}

std::string UiScriptPlayer::Waited() const {
    if (waitingFor_ != next_)
        return {};
    DWORD waited = win::GetTickCount() - waitStarted_;
    return waited ? " (timers ran for " + std::to_string(waited) + " ms)" : std::string();
}

void UiScriptPlayer::WaitForInput() {
    const Step* step = NextStep();
    if (!step)
        throw BackendFailure(script_.name +
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
        Perform(*step, *control);
        return;
    }
    if (!WaitOnTimers())
        Fail(*step, why + Waited());
}

int UiScriptPlayer::TakeAnswer(std::string_view text, int style) {
    std::string box = "a message box " + std::to_string(style) + " " + Quote(text);
    const Step* step = NextStep();
    if (!step)
        throw BackendFailure(script_.name + ": the script ended, but the program shows " + box);
    if (step->kind != Step::Kind::Answer)
        Fail(*step, "the program shows " + box + " first");
    if (step->expected && *step->expected != text)
        Fail(*step, "the program shows " + box);
    bool yesNo = (style & 0x0F) == vbYesNo;
    if (yesNo == (step->answer == Answer::Ok))
        Fail(*step, box + " has no button for this answer");
    ++next_;
    NextStep();
    return step->answer == Answer::Yes ? vbYes : step->answer == Answer::No ? vbNo : vbOK;
}

void UiScriptPlayer::Ended() {
    if (next_ < script_.steps.size())
        Fail(script_.steps[next_], "the program has ended");
    if (!queued_.empty())
        Fail(*queued_.front(), "the program ended before the step could be delivered");
}

std::string UiScriptPlayer::Shows() {
    std::string shown;
    Form* modal = Runtime::Get().ActiveModal();
    for (Form* form : Runtime::Get().LoadedForms()) {
        if (!form->Visible())
            continue;
        shown += (shown.empty() ? "" : ", ") + form->Name() + (form == modal ? " (modal)" : "");
    }
    return shown.empty() ? "no window" : shown;
}

void UiScriptPlayer::Fail(const Step& step, const std::string& why) const {
    throw BackendFailure(script_.name + ":" + std::to_string(step.line) + ": step '" +
                         win::QuotedInput(step.source) +
                         "' cannot run: " + win::QuotedInput(why, 4 * win::kQuotedInputLimit) +
                         "; the program shows " + Shows());
}

} // namespace forms::script
