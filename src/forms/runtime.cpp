#include "forms/runtime.h"

#include "forms/global_form.h"
#include "forms/program_end.h"
#include "forms/timer.h"
#include "platform/kernel32.h"
#include "platform/user32.h"

#include <algorithm>
#include <cstdint>

namespace forms {
namespace {

// Without a user interface nothing can be shown or answered.
class NoBackend : public Backend {
public:
    HDC DeviceContextFor(PictureBox&) override { return win::GetDC(nullptr); }
    int MessageBox(std::string_view text, int, std::string_view) override {
        throw BackendFailure("no user interface to show the message \"" + std::string(text) + "\"");
    }
    void WaitForInput() override { throw BackendFailure("no user interface to take input from"); }
};

NoBackend& TheNoBackend() {
    static NoBackend backend;
    return backend;
}

bool Due(const Timer& timer, DWORD now) {
    return static_cast<std::int32_t>(now - timer.Due()) >= 0;
}

bool Ticking(const Timer& timer) {
    return timer.Parent().IsLoaded() && timer.Enabled() && timer.Interval() > 0;
}

// Sets a flag for a scope and puts the old value back, also when an error or End unwinds.
class ScopedFlag {
public:
    ScopedFlag(bool& flag, bool value) : flag_(flag), old_(flag) { flag_ = value; }
    ~ScopedFlag() { flag_ = old_; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
    bool old_;
};

} // namespace

Runtime& Runtime::Get() {
    static Runtime runtime;
    return runtime;
}

void Runtime::SetBackend(Backend* backend) {
    backend_ = backend;
}

Backend& Runtime::backend() {
    return backend_ ? *backend_ : TheNoBackend();
}

void Runtime::SetUnhandledErrorHandler(std::function<void(const RunTimeError&)> handler) {
    unhandled_ = std::move(handler);
}

void Runtime::Load(Form& form, FormSlot* slot) {
    if (form.loaded_)
        return;
    form.slot_ = slot;
    form.loaded_ = true;
    form.everLoaded_ = true;
    loaded_.push_back(&form);
    backend().FormLoaded(form);
    for (Timer* timer : ActiveTimers()) {
        if (&timer->Parent() == &form)
            timer->Restart();
    }
    form.Form_Load();
}

bool Runtime::Unload(Form& form, UnloadMode mode) {
    if (!form.loaded_ || form.unloading_)
        return true;
    form.unloading_ = true;
    int cancel = 0;
    try {
        form.Form_QueryUnload(cancel, mode);
        if (!cancel)
            form.Form_Unload(cancel);
    } catch (...) {
        form.unloading_ = false;
        throw;
    }
    form.unloading_ = false;
    if (cancel)
        return false;
    Destroy(form);
    return true;
}

void Runtime::Destroy(Form& form) {
    if (!form.loaded_)
        return; // a handler unloaded it already
    backend().FormUnloaded(form);
    form.loaded_ = false;
    form.modal_ = false;
    form.Control::SetVisible(false);
    form.hWnd_ = nullptr;
    std::erase(loaded_, &form);
    FormSlot* slot = form.slot_;
    if (slot && slot->form_.get() == &form)
        unloaded_.push_back(std::move(slot->form_));
}

void Runtime::Show(Form& form, bool modal) {
    if (!modal) {
        if (form.Visible())
            return;
        form.showSerial_ = ++showSerial_;
        form.Control::SetVisible(true);
        backend().FormShown(form, false);
        return;
    }
    if (form.Visible())
        Raise(kFormAlreadyDisplayed);
    form.showSerial_ = ++showSerial_;
    form.modal_ = true;
    form.Control::SetVisible(true);
    backend().FormShown(form, true);
    modal_.push_back(&form);
    struct Pop {
        std::vector<Form*>& stack;
        ~Pop() { stack.pop_back(); }
    } pop{modal_};
    while (form.loaded_ && form.Visible())
        WaitOnce();
}

void Runtime::Hide(Form& form) {
    if (!form.Visible())
        return;
    form.Control::SetVisible(false);
    form.modal_ = false;
    backend().FormHidden(form);
}

Form* Runtime::FindLoaded(std::string_view name) const {
    for (Form* form : loaded_) {
        if (form->Name() == name)
            return form;
    }
    return nullptr;
}

Form* Runtime::ActiveModal() const {
    for (auto it = modal_.rbegin(); it != modal_.rend(); ++it) {
        if ((*it)->loaded_ && (*it)->Visible() && (*it)->modal_)
            return *it;
    }
    return nullptr;
}

bool Runtime::TakesInput(const Form& form) const {
    const Form* modal = ActiveModal();
    return !modal || &form == modal || form.showSerial_ > modal->showSerial_;
}

void Runtime::Dispatch(std::function<void()> handler) {
    if (!handler)
        return;
    try {
        handler();
    } catch (const RunTimeError& error) {
        if (!unhandled_)
            throw;
        unhandled_(error);
    }
}

int Runtime::DoEvents() {
    ScopedFlag busy(insideDoEvents_, true);
    backend().DeliverWaitingInput();
    RunDueTimers();
    return static_cast<int>(
        std::count_if(loaded_.begin(), loaded_.end(), [](Form* f) { return f->Visible(); }));
}

void Runtime::WaitOnce() {
    ScopedFlag waiting(insideDoEvents_, false);
    if (backend().DeliverWaitingInput())
        return;
    if (RunDueTimers())
        return;
    backend().WaitForInput();
}

void Runtime::RunUntilNoWindows() {
    while (!loaded_.empty()) {
        FreeUnloaded();
        WaitOnce();
    }
    FreeUnloaded();
}

void Runtime::End() {
    throw EndProgram{};
}

std::vector<Timer*> Runtime::ActiveTimers() const {
    std::vector<Timer*> timers;
    for (Form* form : loaded_) {
        for (Control* control : form->Controls()) {
            if (control->Kind() != ControlKind::Timer)
                continue;
            auto* timer = static_cast<Timer*>(control);
            if (Ticking(*timer))
                timers.push_back(timer);
        }
    }
    return timers;
}

bool Runtime::RunDueTimers() {
    DWORD now = win::GetTickCount();
    bool raised = false;
    for (Timer* timer : ActiveTimers()) {
        // An earlier tick may have stopped this timer or unloaded its window.
        if (!Ticking(*timer) || !Due(*timer, now))
            continue;
        timer->Restart();
        raised = true;
        Dispatch(timer->OnTimer);
    }
    return raised;
}

std::optional<DWORD> Runtime::NextTimerIn() const {
    DWORD now = win::GetTickCount();
    std::optional<DWORD> next;
    for (Timer* timer : ActiveTimers()) {
        auto in = static_cast<std::int32_t>(timer->Due() - now);
        DWORD wait = in > 0 ? static_cast<DWORD>(in) : 0;
        if (!next || wait < *next)
            next = wait;
    }
    return next;
}

bool Runtime::RunNextTimer() {
    auto in = NextTimerIn();
    if (!in)
        return false;
    if (*in > 0)
        win::Sleep(*in);
    RunDueTimers();
    return true;
}

void Runtime::FreeUnloaded() {
    unloaded_.clear();
}

void Runtime::Reset() {
    std::vector<Form*> forms = loaded_;
    for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
        Form& form = **it;
        backend().FormDropped(form);
        form.loaded_ = false;
        form.modal_ = false;
        form.Control::SetVisible(false);
        form.hWnd_ = nullptr;
        if (form.slot_ && form.slot_->form_.get() == &form)
            unloaded_.push_back(std::move(form.slot_->form_));
    }
    loaded_.clear();
    modal_.clear();
    insideDoEvents_ = false;
    FreeUnloaded();
}

void RunProgram(const std::function<void()>& startUp) {
    Runtime& runtime = Runtime::Get();
    try {
        runtime.Dispatch(startUp);
        runtime.RunUntilNoWindows();
    } catch (const EndProgram&) {
        // End: every window goes without its handlers.
    }
    runtime.Reset();
    runtime.backend().ProgramEnded();
}

} // namespace forms
