#include "forms/controls.h"

#include "forms/run_time_error.h"
#include "forms/runtime.h"

namespace forms {

void CheckBox::SetValue(int value) {
    if (value < vbUnchecked || value > vbGrayed)
        Raise(kInvalidPropertyValue);
    if (value_ == value)
        return;
    value_ = value;
    Changed(Property::Value);
    if (OnClick)
        OnClick();
}

void TextBox::SetText(std::string text) {
    if (text_ == text)
        return;
    text_ = std::move(text);
    Changed(Property::Text);
    if (OnChange)
        OnChange();
}

void Line::SetEnds(float x1, float y1, float x2, float y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    Changed(Property::Position);
}

void Line::SetBorderColor(COLORREF colour) {
    borderColor_ = colour;
    Changed(Property::Colours);
}

} // namespace forms
