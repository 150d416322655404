// The headless backend: no display. User input comes from a UI script (ui_script.h);
// what the user would see goes to a transcript (transcript.h). The program's windows are
// registered with the platform as top-level windows, so that a search by title finds them.
//
// Waiting rules. When the program waits for input, the next step runs once its control is
// loaded, shown, enabled and not behind a modal window; until then enabled timers run on
// the machine's clock, for at most kWaitBound milliseconds. A message box takes the next
// step, which must be an answer. A step that cannot run, a message box no answer is
// waiting for, and a script that ends while the program waits all stop the run with a
// message naming the step, its line and what the program shows.
#pragma once

#include "forms/backend.h"
#include "forms/headless/transcript.h"
#include "forms/headless/ui_script.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>

namespace forms::headless {

class HeadlessBackend : public Backend {
public:
    static constexpr DWORD kWaitBound = 60000;

    HeadlessBackend(UiScript script, std::shared_ptr<Transcript> transcript);
    ~HeadlessBackend() override;

    void FormLoaded(Form& form) override;
    void FormShown(Form& form, bool modal) override;
    void FormHidden(Form& form) override;
    void FormUnloaded(Form& form) override;
    void FormDropped(Form& form) override;
    void ControlChanged(Control& control, Property what) override;
    void Drawn(PictureBox& box, const Drawing& drawing) override;
    HDC DeviceContextFor(PictureBox& box) override;
    int MessageBox(std::string_view text, int style, std::string_view title) override;
    bool DeliverWaitingInput() override;
    void WaitForInput() override;
    // Writes "end"; fails when script steps were never run.
    void ProgramEnded() override;

    Transcript& transcript() { return *transcript_; }
    // What the program shows, as failure messages put it.
    std::string Shows() const;

private:
    struct Trigger {
        const Step* when;
    };

    const Step* NextStep();
    Control* Resolve(const Target& target, std::string& why) const;
    void Perform(const Step& step, Control& control);
    bool WaitOnTimers();
    std::string Waited() const;
    [[noreturn]] void Fail(const Step& step, const std::string& why) const;
    void ForgetWindow(Form& form);
    void Mirror(Form& form);

    UiScript script_;
    std::shared_ptr<Transcript> transcript_;
    size_t next_ = 0;
    std::vector<Trigger> triggers_;
    std::deque<const Step*> queued_;
    std::optional<size_t> waitingFor_;
    DWORD waitStarted_ = 0;
    std::map<PictureBox*, HDC> contexts_;
};

} // namespace forms::headless
