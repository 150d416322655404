#include "forms/control.h"

#include "forms/form.h"
#include "forms/runtime.h"

namespace forms {

Control::Control(Form& form, std::string name, ControlKind kind, int index)
    : form_(form), name_(std::move(name)), kind_(kind), index_(index) {
    if (kind != ControlKind::Form)
        form.AddControl(*this);
}

std::string Control::PathName() const {
    if (kind_ == ControlKind::Form)
        return name_;
    std::string path = form_.Name() + "." + name_;
    if (index_ >= 0)
        path += "(" + std::to_string(index_) + ")";
    return path;
}

void Control::Changed(Property what) {
    if (form_.IsLoaded())
        Runtime::Get().backend().ControlChanged(*this, what);
}

void Control::SetLeft(float left) {
    Move(left, top_, width_, height_);
}
void Control::SetTop(float top) {
    Move(left_, top, width_, height_);
}
void Control::SetWidth(float width) {
    Move(left_, top_, width, height_);
}
void Control::SetHeight(float height) {
    Move(left_, top_, width_, height);
}
void Control::Move(float left, float top) {
    Move(left, top, width_, height_);
}

void Control::Move(float left, float top, float width, float height) {
    // A negative size is refused as the classic controls refuse it.
    if (width < 0 || height < 0)
        Raise(kInvalidPropertyValue);
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Changed(Property::Position);
}

void Control::SetVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    Changed(Property::Visible);
}

void Control::SetEnabled(bool enabled) {
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    Changed(Property::Enabled);
}

void Control::SetCaption(std::string caption) {
    if (caption_ == caption)
        return;
    caption_ = std::move(caption);
    Changed(Property::Caption);
}

void Control::SetFont(forms::Font font) {
    font_ = std::move(font);
    Changed(Property::Font);
}

void Control::SetForeColor(COLORREF colour) {
    foreColor_ = colour;
    Changed(Property::Colours);
}

void Control::SetBackColor(COLORREF colour) {
    backColor_ = colour;
    Changed(Property::Colours);
}

void Control::SetBackStyle(int style) {
    backStyle_ = style;
    Changed(Property::Colours);
}

void Control::SetBorderStyle(int style) {
    borderStyle_ = style;
    Changed(Property::Border);
}

void Control::SetMousePointer(int pointer) {
    mousePointer_ = pointer;
    Changed(Property::MousePointer);
}

void Control::SetMouseIcon(std::string picture) {
    mouseIcon_ = std::move(picture);
    Changed(Property::MousePointer);
}

} // namespace forms
