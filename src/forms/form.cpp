#include "forms/form.h"

#include "forms/global_form.h"
#include "forms/runtime.h"

#include <algorithm>
#include <cctype>

namespace forms {
namespace {

constexpr float kTwipsPerPixel = 15;
constexpr float kTitleBarPixels = 18;

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Pixels of frame on each side and of title bar the border style gives.
float FramePixels(int borderStyle) {
    if (borderStyle == vbBSNone)
        return 0;
    return borderStyle == 2 ? 4 : 3;
}
float TitlePixels(int borderStyle) {
    return borderStyle == vbBSNone ? 0 : kTitleBarPixels;
}

} // namespace

Form::Form(std::string name) : Control(*this, std::move(name), ControlKind::Form) {
    Control::SetVisible(false);
    SetBorderStyle(2); // sizable
}

Form::~Form() = default;

void Form::Show(int modal) {
    if (!loaded_) {
        if (everLoaded_)
            return; // unloaded (also during its own Form_Load): it stays unloaded
        Runtime::Get().Load(*this, slot_);
        if (!loaded_)
            return;
    }
    Runtime::Get().Show(*this, modal == vbModal);
}

void Form::Hide() {
    if (loaded_)
        Runtime::Get().Hide(*this);
}

void Form::SetVisible(bool visible) {
    if (visible)
        Show();
    else
        Hide();
}

void Form::SetClientSize(float width, float height) {
    float frame = FramePixels(BorderStyle());
    Move(Left(), Top(), width + 2 * frame * kTwipsPerPixel,
         height + (2 * frame + TitlePixels(BorderStyle())) * kTwipsPerPixel);
}

float Form::ScaleWidth() const {
    return std::max(0.0f, Width() - 2 * FramePixels(BorderStyle()) * kTwipsPerPixel);
}

float Form::ScaleHeight() const {
    float frame = FramePixels(BorderStyle());
    return std::max(0.0f, Height() - (2 * frame + TitlePixels(BorderStyle())) * kTwipsPerPixel);
}

Control* Form::FindControl(std::string_view name, int index) const {
    for (Control* c : controls_) {
        if (c->Index() == index && SameName(c->Name(), name))
            return c;
    }
    return nullptr;
}

Form& FormSlot::Ensure() {
    if (form_)
        return *form_;
    form_ = Make();
    Form& form = *form_;
    Runtime::Get().Load(form, this);
    return form; // alive even when Form_Load unloaded it again
}

} // namespace forms
