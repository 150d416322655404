#include "forms/picture_box.h"

#include "forms/runtime.h"
#include "forms/screen.h"
#include "platform/codepage.h"
#include "platform/gdi32.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace forms {

void PictureBox::Cls() {
    drawings_.clear();
    currentX_ = 0;
    currentY_ = 0;
    Record({});
}

void PictureBox::Print(std::string_view text) {
    Drawing d;
    d.kind = Drawing::Kind::Text;
    d.x1 = currentX_;
    d.y1 = currentY_;
    d.text = std::string(text);
    d.font = Font();
    d.colour = ForeColor();
    d.drawMode = drawMode_;
    Record(d);
    std::string ansi = win::ToAnsi(text);
    SIZE size{0, 0};
    win::GetTextExtentPointA(hDC(), ansi.c_str(), static_cast<int>(ansi.size()), &size);
    currentX_ = 0;
    currentY_ += static_cast<float>(size.cy) * Screen::TwipsPerPixelY();
}

void PictureBox::FilledBox(float x1, float y1, float x2, float y2, COLORREF colour) {
    Drawing d;
    d.kind = Drawing::Kind::FilledBox;
    d.x1 = x1;
    d.y1 = y1;
    d.x2 = x2;
    d.y2 = y2;
    d.colour = colour;
    d.drawMode = drawMode_;
    Record(d);
    currentX_ = x2;
    currentY_ = y2;
}

HDC PictureBox::hDC() {
    return Runtime::Get().backend().DeviceContextFor(*this);
}

void PictureBox::Record(Drawing drawing) {
    drawings_.push_back(drawing);
    if (Parent().IsLoaded())
        Runtime::Get().backend().Drawn(*this, drawings_.back());
}

std::optional<std::string> PercentageDigits(std::string_view text) {
    if (text.size() < 2 || text.back() != '%')
        return std::nullopt;
    std::string_view number = text.substr(0, text.size() - 1);
    std::string_view digits = number[0] == '-' ? number.substr(1) : number;
    bool allDigits = std::all_of(digits.begin(), digits.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    if (digits.empty() || !allDigits)
        return std::nullopt;
    return std::string(number);
}

std::optional<int> ShownPercentage(const PictureBox& box) {
    const auto& drawings = box.Drawings();
    auto text = std::find_if(drawings.rbegin(), drawings.rend(),
                             [](const Drawing& d) { return d.kind == Drawing::Kind::Text; });
    if (text == drawings.rend())
        return std::nullopt;
    auto digits = PercentageDigits(text->text);
    int value = 0;
    if (!digits ||
        std::from_chars(digits->data(), digits->data() + digits->size(), value).ec != std::errc())
        return std::nullopt;
    return value;
}

} // namespace forms
