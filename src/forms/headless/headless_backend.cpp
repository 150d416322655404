#include "forms/headless/headless_backend.h"

#include "forms/form.h"
#include "forms/input.h"

namespace forms::headless {
namespace {

using script::Step;
using Delivery = script::UiScriptPlayer::Delivery;

// A step straight into the model, as the user's action would arrive: always taken.
Delivery PerformInModel(const Step& step, Control& control) {
    switch (step.kind) {
    case Step::Kind::Click:
        UserClick(control);
        break;
    case Step::Kind::MouseUp:
        UserMouseUp(control);
        break;
    case Step::Kind::MouseMove:
        UserMouseMove(control);
        break;
    case Step::Kind::Close:
        UserClose(static_cast<Form&>(control));
        break;
    case Step::Kind::Set:
        return {true, UserSet(control, step.value)};
    case Step::Kind::Answer:
    case Step::Kind::When:
        break;
    }
    return {true, {}};
}

} // namespace

HeadlessBackend::HeadlessBackend(script::UiScript script,
                                 std::shared_ptr<script::Transcript> transcript)
    : transcript_(std::move(transcript)), player_(std::move(script), PerformInModel) {}

HeadlessBackend::~HeadlessBackend() = default;

// ---- Mirroring the model.

void HeadlessBackend::FormLoaded(Form& form) {
    windows_.Loaded(form);
}

void HeadlessBackend::FormShown(Form& form, bool modal) {
    transcript_->Shown(form, modal);
    windows_.SetVisible(form, true);
}

void HeadlessBackend::FormHidden(Form& form) {
    windows_.SetVisible(form, false);
}

void HeadlessBackend::FormUnloaded(Form& form) {
    transcript_->Unloaded(form);
    windows_.Forget(form);
}

void HeadlessBackend::FormDropped(Form& form) {
    windows_.Forget(form);
}

void HeadlessBackend::ControlChanged(Control& control, Property what) {
    if (control.Kind() == ControlKind::Form)
        windows_.Changed(control.Parent());
    if (what != Property::Caption)
        return;
    transcript_->Captioned(control);
    player_.Captioned(control);
}

void HeadlessBackend::Drawn(PictureBox& box, const Drawing& drawing) {
    transcript_->Drawn(box, drawing);
}

HDC HeadlessBackend::DeviceContextFor(PictureBox& box) {
    return windows_.ContextFor(box);
}

// ---- Input.

bool HeadlessBackend::DeliverWaitingInput() {
    return player_.DeliverQueued();
}

void HeadlessBackend::WaitForInput() {
    player_.WaitForInput();
}

int HeadlessBackend::MessageBox(std::string_view text, int style, std::string_view) {
    int code = player_.TakeAnswer(text, style);
    transcript_->MessageBox(style, text, code);
    return code;
}

void HeadlessBackend::ProgramEnded() {
    transcript_->Ended();
    player_.Ended();
}

} // namespace forms::headless
