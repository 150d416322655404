#include "forms/headless/headless_backend.h"

#include "forms/form.h"
#include "forms/input.h"
#include "forms/msgbox.h"
#include "forms/picture_box.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "forms/screen.h"
#include "platform/kernel32.h"
#include "platform/portable/gdi_objects.h"
#include "platform/portable/window_table.h"
#include "platform/quoted_input.h"

#include <cctype>
#include <cmath>

namespace forms::headless {
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

// "42%" as DrawProgress prints it.
std::optional<std::string> Percentage(const std::string& text) {
    if (text.size() < 2 || text.back() != '%')
        return std::nullopt;
    std::string number = text.substr(0, text.size() - 1);
    size_t start = number[0] == '-' ? 1 : 0;
    if (start == number.size())
        return std::nullopt;
    for (size_t i = start; i < number.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(number[i])))
            return std::nullopt;
    }
    return number;
}

RECT PixelRect(const Form& form) {
    float x = Screen::TwipsPerPixelX();
    float y = Screen::TwipsPerPixelY();
    auto px = [](float twips, float per) { return static_cast<LONG>(std::lround(twips / per)); };
    return RECT{px(form.Left(), x), px(form.Top(), y), px(form.Left() + form.Width(), x),
                px(form.Top() + form.Height(), y)};
}

portable::FontSpec FontOf(const Control& control) {
    const forms::Font& font = control.Font();
    return portable::FontSpec{font.name, font.size, font.bold, font.italic};
}

std::string AnswerName(int code) {
    switch (code) {
    case vbYes:
        return "6";
    case vbNo:
        return "7";
    default:
        return "1";
    }
}

} // namespace

HeadlessBackend::HeadlessBackend(UiScript script, std::shared_ptr<Transcript> transcript)
    : script_(std::move(script)), transcript_(std::move(transcript)) {
    NextStep(); // when-steps at the start wait from the start
}

HeadlessBackend::~HeadlessBackend() {
    for (auto& [box, dc] : contexts_)
        portable::FreeDeviceContext(dc);
}

// ---- Mirroring the model.

void HeadlessBackend::FormLoaded(Form& form) {
    Form* target = &form;
    HWND window = portable::CreateProgramWindow(form.Caption(),
                                                [target](UINT message, WPARAM, LPARAM) -> LRESULT {
                                                    if (message == WM_CLOSE)
                                                        UserClose(*target);
                                                    return 0;
                                                });
    form.AttachWindow(window);
    Mirror(form);
}

void HeadlessBackend::Mirror(Form& form) {
    portable::SetProgramWindowTitle(form.hWnd(), form.Caption());
    portable::SetProgramWindowRect(form.hWnd(), PixelRect(form));
}

void HeadlessBackend::FormShown(Form& form, bool modal) {
    transcript_->Write("show " + form.Name() + (modal ? " modal" : ""));
    portable::SetProgramWindowVisible(form.hWnd(), true);
}

void HeadlessBackend::FormHidden(Form& form) {
    portable::SetProgramWindowVisible(form.hWnd(), false);
}

void HeadlessBackend::FormUnloaded(Form& form) {
    transcript_->Write("unload " + form.Name());
    ForgetWindow(form);
}

void HeadlessBackend::FormDropped(Form& form) {
    ForgetWindow(form);
}

void HeadlessBackend::ForgetWindow(Form& form) {
    for (Control* control : form.Controls()) {
        if (control->Kind() != ControlKind::PictureBox)
            continue;
        auto it = contexts_.find(static_cast<PictureBox*>(control));
        if (it == contexts_.end())
            continue;
        portable::FreeDeviceContext(it->second);
        contexts_.erase(it);
    }
    portable::DestroyProgramWindow(form.hWnd());
}

void HeadlessBackend::ControlChanged(Control& control, Property what) {
    if (control.Kind() == ControlKind::Form && control.Parent().hWnd())
        Mirror(control.Parent());
    if (what != Property::Caption)
        return;
    transcript_->Write("caption " + control.PathName() + " " + Quote(control.Caption()));
    for (auto it = triggers_.begin(); it != triggers_.end(); ++it) {
        const Step& when = *it->when;
        if (!SameName(when.target.Text(), control.PathName()) || when.caption != control.Caption())
            continue;
        queued_.push_back(when.then.get());
        triggers_.erase(it);
        return;
    }
}

void HeadlessBackend::Drawn(PictureBox& box, const Drawing& drawing) {
    if (drawing.kind != Drawing::Kind::Text)
        return;
    if (auto percent = Percentage(drawing.text))
        transcript_->Write("progress " + box.Parent().Name() + " " + *percent);
}

HDC HeadlessBackend::DeviceContextFor(PictureBox& box) {
    auto it = contexts_.find(&box);
    if (it == contexts_.end())
        it = contexts_.emplace(&box, portable::NewControlContext(FontOf(box))).first;
    portable::SetContextFont(it->second, FontOf(box));
    return it->second;
}

// ---- Input.

// The step the program takes next; when-steps on the way start waiting for their caption.
const Step* HeadlessBackend::NextStep() {
    while (next_ < script_.steps.size() && script_.steps[next_].kind == Step::Kind::When)
        triggers_.push_back({&script_.steps[next_++]});
    return next_ < script_.steps.size() ? &script_.steps[next_] : nullptr;
}

Control* HeadlessBackend::Resolve(const Target& target, std::string& why) const {
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

void HeadlessBackend::Perform(const Step& step, Control& control) {
    switch (step.kind) {
    case Step::Kind::Click:
        UserClick(control);
        return;
    case Step::Kind::MouseUp:
        UserMouseUp(control);
        return;
    case Step::Kind::MouseMove:
        UserMouseMove(control);
        return;
    case Step::Kind::Close:
        UserClose(static_cast<Form&>(control));
        return;
    case Step::Kind::Set:
        if (std::string wrong = UserSet(control, step.value); !wrong.empty())
            Fail(step, wrong);
        return;
    case Step::Kind::Answer:
    case Step::Kind::When:
        return;
    }
}

bool HeadlessBackend::DeliverWaitingInput() {
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
bool HeadlessBackend::WaitOnTimers() {
    DWORD now = win::GetTickCount();
    if (waitingFor_ != next_) {
        waitingFor_ = next_;
        waitStarted_ = now;
    }
    if (now - waitStarted_ > kWaitBound)
        return false;
    return Runtime::Get().RunNextTimer();
}

std::string HeadlessBackend::Waited() const {
    if (waitingFor_ != next_)
        return {};
    DWORD waited = win::GetTickCount() - waitStarted_;
    return waited ? " (timers ran for " + std::to_string(waited) + " ms)" : std::string();
}

void HeadlessBackend::WaitForInput() {
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

int HeadlessBackend::MessageBox(std::string_view text, int style, std::string_view) {
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
    int code = step->answer == Answer::Yes ? vbYes : step->answer == Answer::No ? vbNo : vbOK;
    transcript_->Write("msgbox " + std::to_string(style) + " " + Quote(text) + " -> " +
                       AnswerName(code));
    return code;
}

void HeadlessBackend::ProgramEnded() {
    transcript_->Write("end");
    if (next_ < script_.steps.size())
        Fail(script_.steps[next_], "the program has ended");
    if (!queued_.empty())
        Fail(*queued_.front(), "the program ended before the step could be delivered");
}

std::string HeadlessBackend::Shows() const {
    std::string shown;
    Form* modal = Runtime::Get().ActiveModal();
    for (Form* form : Runtime::Get().LoadedForms()) {
        if (!form->Visible())
            continue;
        shown += (shown.empty() ? "" : ", ") + form->Name() + (form == modal ? " (modal)" : "");
    }
    return shown.empty() ? "no window" : shown;
}

void HeadlessBackend::Fail(const Step& step, const std::string& why) const {
    throw BackendFailure(script_.name + ":" + std::to_string(step.line) + ": step '" +
                         win::QuotedInput(step.source) +
                         "' cannot run: " + win::QuotedInput(why, 4 * win::kQuotedInputLimit) +
                         "; the program shows " + Shows());
}

} // namespace forms::headless
