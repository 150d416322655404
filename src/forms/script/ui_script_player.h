// Follows a UI script as the user's input. How a step reaches the program is the
// interface's business (the headless interface calls the model's input functions, the
// windows on a display receive input events); when it runs is decided here, alike for all.
//
// Waiting rules. When the program waits for input, the next step runs once its control is
// loaded, shown, enabled and not behind a modal window; until then enabled timers run on
// the machine's clock, for at most kWaitBound milliseconds. A message box takes the next
// step, which must be an answer. A `when` step starts waiting when the script reaches it
// and queues its step the moment the control's caption becomes the text; queued steps
// arrive where events are processed. A step that cannot run, a message box no answer is
// waiting for, and a script that ends while the program waits all stop the run with a
// message naming the step, its line and what the program shows. A step the program would
// act on must become input of its control's window (see Perform).
#pragma once

#include "forms/script/ui_script.h"
#include "platform/win_types.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace forms {
class Control;
}

namespace forms::script {

class UiScriptPlayer {
public:
    static constexpr DWORD kWaitBound = 60000;

    // What became of a step at its control's window.
    struct Delivery {
        bool taken = false;  // the window made input of it
        std::string refused; // why the control refuses it; empty when it does not
    };
    // Makes step (click, mouseup, mousemove, set or close) reach control as the input its
    // window makes of it.
    using Performer = std::function<Delivery(const Step& step, Control& control)>;
    // Lets the next timer tick, true when one ran; an interface whose windows must go on
    // meanwhile waits in its own way (by default: Runtime::RunNextTimer).
    using TimerWait = std::function<bool()>;

    UiScriptPlayer(UiScript script, Performer perform, TimerWait waitForTimer = {});

    const UiScript& script() const { return script_; }

    // A caption changed: a `when` step waiting for it queues its step.
    void Captioned(const Control& control);
    // Runs the queued steps whose controls can take input; true when one ran.
    bool DeliverQueued();
    // The program waits: runs the next step, or lets timers run until it can.
    void WaitForInput();
    // A message box is shown: checks it against the next step, which must be a fitting
    // answer, and returns the answer (vbOK, vbYes, vbNo).
    int TakeAnswer(std::string_view text, int style);
    // The program has ended: fails when steps were never run.
    void Ended();

    // What the program shows, as failure messages put it.
    static std::string Shows();
    // Stops the run: step cannot run, for the reason why.
    [[noreturn]] void Fail(const Step& step, const std::string& why) const;

private:
    const Step* NextStep();
    Control* Resolve(const Target& target, std::string& why) const;
    void Perform(const Step& step, Control& control);
    bool WaitOnTimers();
    std::string Waited() const;

    UiScript script_;
    Performer perform_;
    TimerWait waitForTimer_;
    size_t next_ = 0;
    std::vector<const Step*> triggers_;
    std::deque<const Step*> queued_;
    std::optional<size_t> waitingFor_;
    DWORD waitStarted_ = 0;
};

} // namespace forms::script
