// Small indexed-colour pictures for the suite's icons and images: a canvas in the 16
// colours of the Windows standard palette with a mask of the pixels drawn, and the
// motifs the files show (folders, arrows, a wastebasket, a globe, ...).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace make_dist {

struct Rgb {
    std::uint8_t r, g, b;
};

// The 16 colours of the Windows standard palette, in their usual order.
extern const std::array<Rgb, 16> kStandardColours;

enum Colour : std::uint8_t {
    kBlack,
    kMaroon,
    kGreen,
    kOlive,
    kNavy,
    kPurple,
    kTeal,
    kSilver,
    kGrey,
    kRed,
    kLime,
    kYellow,
    kBlue,
    kFuchsia,
    kAqua,
    kWhite,
};

struct Point {
    double x, y;
};

class Picture {
public:
    Picture(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    // Colour index and whether the pixel was drawn; (0, 0) is the top left corner.
    std::uint8_t At(int x, int y) const { return colour_[Index(x, y)]; }
    bool Opaque(int x, int y) const { return opaque_[Index(x, y)]; }

    void Set(int x, int y, std::uint8_t colour);
    void FillRect(int left, int top, int right, int bottom, std::uint8_t colour);
    void FrameRect(int left, int top, int right, int bottom, std::uint8_t colour);
    void FillEllipse(double cx, double cy, double rx, double ry, std::uint8_t colour);
    // An ellipse's outline, turned by angle (radians).
    void EllipseOutline(double cx, double cy, double rx, double ry, double angle,
                        std::uint8_t colour);
    void Line(double x0, double y0, double x1, double y1, std::uint8_t colour);
    // Fills the pixels whose centres lie inside the polygon (even-odd rule) and draws its
    // edges in outline.
    void Polygon(const std::vector<Point>& points, std::uint8_t fill, std::uint8_t outline);

private:
    std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }
    int width_, height_;
    std::vector<std::uint8_t> colour_;
    std::vector<bool> opaque_;
};

// The picture a file of this name shows, size x size pixels: the motif follows the name
// ("FldOpn3.ico" an open folder, "Back.gif" an arrow to the left), the colours its number.
Picture DrawMotif(std::string_view name, int size);

} // namespace make_dist
