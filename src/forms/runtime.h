// The forms runtime: the loaded windows, their life cycle, the event loops (the
// program's own and the nested ones of modal windows), timers, DoEvents and End. One
// thread; everything runs inside event handlers.
#pragma once

#include "forms/backend.h"
#include "forms/form.h"
#include "forms/run_time_error.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace forms {

class FormSlot;
class Timer;

class Runtime {
public:
    static Runtime& Get();

    // The user interface; without one, message boxes and waiting for input fail.
    void SetBackend(Backend* backend);
    Backend& backend();

    // How an error that escapes an event handler with no handler of its own is treated;
    // unset, it passes on out of the event loop.
    void SetUnhandledErrorHandler(std::function<void(const RunTimeError&)> handler);

    // ---- Life cycle.
    // Registers form as loaded and runs its Form_Load.
    void Load(Form& form, FormSlot* slot);
    // Runs the close-request handlers with mode, then destroys the window. False when
    // a handler refused.
    bool Unload(Form& form, UnloadMode mode);
    void Show(Form& form, bool modal);
    void Hide(Form& form);
    const std::vector<Form*>& LoadedForms() const { return loaded_; }
    Form* FindLoaded(std::string_view name) const;
    // The innermost modal window still shown, or null.
    Form* ActiveModal() const;
    // False for a window behind a modal window (shown before it).
    bool TakesInput(const Form& form) const;

    // ---- Events.
    // Runs an event handler for the user or a timer; errors escaping it go to the
    // unhandled-error handler. The handler is a copy, so it may replace itself.
    void Dispatch(std::function<void()> handler);
    // Delivers waiting user input and due timer ticks; the number of windows shown.
    int DoEvents();
    // True while input is delivered inside DoEvents (a handler is busy and lets events
    // through), false where the program waits for input (its own loop, a modal window).
    bool InsideDoEvents() const { return insideDoEvents_; }
    // The program's own loop: runs until no window is loaded.
    void RunUntilNoWindows();
    // Stops the program at once, from any depth: no handler runs any more.
    [[noreturn]] void End();

    // ---- Timers, on the machine's clock.
    // Raises every due tick; true when one was raised.
    bool RunDueTimers();
    // Milliseconds until the next tick of an enabled timer, or nullopt with none.
    std::optional<DWORD> NextTimerIn() const;
    // Sleeps on the clock until the next tick and raises it; false with no timer.
    bool RunNextTimer();

    // Drops every window without running a handler (the end of a run; tests).
    void Reset();

private:
    Runtime() = default;
    void WaitOnce();
    void Destroy(Form& form);
    void FreeUnloaded();
    std::vector<Timer*> ActiveTimers() const;

    Backend* backend_ = nullptr;
    std::function<void(const RunTimeError&)> unhandled_;
    std::vector<Form*> loaded_;
    std::vector<Form*> modal_;
    std::vector<std::unique_ptr<Form>> unloaded_; // kept alive until no handler runs
    unsigned long showSerial_ = 0;
    bool insideDoEvents_ = false;
};

// Runs a program: its start-up procedure, then the event loop until the last window is
// unloaded or End is called. Returns when the program has ended.
void RunProgram(const std::function<void()>& startUp);

// The classic statements.
inline int DoEvents() {
    return Runtime::Get().DoEvents();
}
[[noreturn]] inline void End() {
    Runtime::Get().End();
}
inline bool Unload(Form& form) {
    return Runtime::Get().Unload(form, UnloadMode::FormCode);
}

} // namespace forms
