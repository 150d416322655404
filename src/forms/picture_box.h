// The picture box: a control that is drawn into. It records what is drawn (cleared, text
// at a position in its font, filled boxes with colour and drawing mode) since the last
// clear, so that backends and tests see the same drawing.
#pragma once

#include "forms/control.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

// Drawing modes (raster operations) with their classic numbers.
inline constexpr int vbNotXorPen = 10;
inline constexpr int vbCopyPen = 13;

struct Drawing {
    enum class Kind { Clear, Text, FilledBox };
    Kind kind = Kind::Clear;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0; // twips; a text's position is (x1, y1)
    std::string text;
    forms::Font font;
    COLORREF colour = 0;
    int drawMode = vbCopyPen;
};

class PictureBox : public Control {
public:
    PictureBox(Form& form, std::string name, int index = -1)
        : Control(form, std::move(name), ControlKind::PictureBox, index) {
        SetBackColor(0xC0C0C0);
        SetBorderStyle(vbFixedSingle);
    }

    float CurrentX() const { return currentX_; }
    float CurrentY() const { return currentY_; }
    void SetCurrentX(float x) { currentX_ = x; }
    void SetCurrentY(float y) { currentY_ = y; }
    int DrawMode() const { return drawMode_; }
    void SetDrawMode(int mode) { drawMode_ = mode; }

    // Clears the drawing; the text position goes back to (0, 0).
    void Cls();
    // Draws text at the current position in the box's font and colour, then moves to the
    // start of the next line.
    void Print(std::string_view text);
    // A box from (x1, y1) to (x2, y2) filled with colour in the current drawing mode.
    void FilledBox(float x1, float y1, float x2, float y2, COLORREF colour);

    // The device context of the drawing surface, in the box's font.
    HDC hDC();

    const std::vector<Drawing>& Drawings() const { return drawings_; }

private:
    void Record(Drawing drawing);

    float currentX_ = 0, currentY_ = 0;
    int drawMode_ = vbCopyPen;
    std::vector<Drawing> drawings_;
};

// The number of a percentage as DrawProgress prints it ("42%" gives "42", "-5%" "-5");
// nullopt for any other text.
std::optional<std::string> PercentageDigits(std::string_view text);
// The percentage a box shows: the last text drawn into it, when it reads N%.
std::optional<int> ShownPercentage(const PictureBox& box);

} // namespace forms
