#include "picture.h"

#include "random.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>

namespace make_dist {

const std::array<Rgb, 16> kStandardColours = {{
    {0x00, 0x00, 0x00},
    {0x80, 0x00, 0x00},
    {0x00, 0x80, 0x00},
    {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80},
    {0x80, 0x00, 0x80},
    {0x00, 0x80, 0x80},
    {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80},
    {0xFF, 0x00, 0x00},
    {0x00, 0xFF, 0x00},
    {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF},
    {0xFF, 0x00, 0xFF},
    {0x00, 0xFF, 0xFF},
    {0xFF, 0xFF, 0xFF},
}};

Picture::Picture(int width, int height)
    : width_(width), height_(height), colour_(static_cast<std::size_t>(width) * height, 0),
      opaque_(static_cast<std::size_t>(width) * height, false) {}

void Picture::Set(int x, int y, std::uint8_t colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    colour_[Index(x, y)] = colour;
    opaque_[Index(x, y)] = true;
}

void Picture::FillRect(int left, int top, int right, int bottom, std::uint8_t colour) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            Set(x, y, colour);
}

void Picture::FrameRect(int left, int top, int right, int bottom, std::uint8_t colour) {
    for (int x = left; x < right; ++x) {
        Set(x, top, colour);
        Set(x, bottom - 1, colour);
    }
    for (int y = top; y < bottom; ++y) {
        Set(left, y, colour);
        Set(right - 1, y, colour);
    }
}

void Picture::FillEllipse(double cx, double cy, double rx, double ry, std::uint8_t colour) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1.0)
                Set(x, y, colour);
        }
}

void Picture::EllipseOutline(double cx, double cy, double rx, double ry, double angle,
                             std::uint8_t colour) {
    const int steps = 8 * static_cast<int>(rx + ry + 1);
    for (int i = 0; i < steps; ++i) {
        double t = 2 * std::numbers::pi * i / steps;
        double ex = rx * std::cos(t), ey = ry * std::sin(t);
        double x = cx + ex * std::cos(angle) - ey * std::sin(angle);
        double y = cy + ex * std::sin(angle) + ey * std::cos(angle);
        Set(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)), colour);
    }
}

void Picture::Line(double x0, double y0, double x1, double y1, std::uint8_t colour) {
    int steps = static_cast<int>(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
    for (int i = 0; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps;
        Set(static_cast<int>(std::floor(x0 + (x1 - x0) * t)),
            static_cast<int>(std::floor(y0 + (y1 - y0) * t)), colour);
    }
}

void Picture::Polygon(const std::vector<Point>& points, std::uint8_t fill, std::uint8_t outline) {
    const std::size_t n = points.size();
    for (int y = 0; y < height_; ++y) {
        double py = y + 0.5;
        for (int x = 0; x < width_; ++x) {
            double px = x + 0.5;
            bool inside = false;
            for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
                const Point &a = points[i], &b = points[j];
                if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x)
                    inside = !inside;
            }
            if (inside)
                Set(x, y, fill);
        }
    }
    for (std::size_t i = 0, j = n - 1; i < n; j = i++)
        Line(points[j].x, points[j].y, points[i].x, points[i].y, outline);
}

namespace {

// Motifs are designed on a 32 x 32 grid and drawn scaled to the picture.
class Pen {
public:
    Pen(Picture& picture) : p_(picture), s_(picture.width() / 32.0) {}

    int I(double v) const { return static_cast<int>(std::lround(v * s_)); }
    double D(double v) const { return v * s_; }
    std::vector<Point> Scaled(std::vector<Point> points) const {
        for (auto& point : points)
            point = {point.x * s_, point.y * s_};
        return points;
    }
    Picture& p() { return p_; }

    void Rect(double l, double t, double r, double b, std::uint8_t fill, std::uint8_t frame) {
        p_.FillRect(I(l), I(t), I(r), I(b), fill);
        p_.FrameRect(I(l), I(t), I(r), I(b), frame);
    }
    void Poly(std::vector<Point> points, std::uint8_t fill, std::uint8_t frame) {
        p_.Polygon(Scaled(std::move(points)), fill, frame);
    }
    void Disc(double cx, double cy, double rx, double ry, std::uint8_t fill) {
        p_.FillEllipse(D(cx), D(cy), D(rx), D(ry), fill);
    }
    void Ring(double cx, double cy, double rx, double ry, double angle, std::uint8_t colour) {
        p_.EllipseOutline(D(cx), D(cy), D(rx), D(ry), angle, colour);
    }
    void Stroke(double x0, double y0, double x1, double y1, std::uint8_t colour) {
        p_.Line(D(x0), D(y0), D(x1), D(y1), colour);
    }

private:
    Picture& p_;
    double s_;
};

constexpr std::array<std::uint8_t, 8> kFills = {kYellow,  kAqua, kLime, kSilver,
                                                kFuchsia, kRed,  kBlue, kOlive};

// Lines drawn in the fill colour, except yellow, which would vanish on white.
std::uint8_t Ink(std::uint8_t fill) {
    return fill == kYellow ? std::uint8_t{kNavy} : fill;
}

void ClosedFolder(Pen& pen, std::uint8_t fill) {
    pen.Poly({{2, 7}, {12, 7}, {14, 10}, {2, 10}}, fill, kBlack);
    pen.Rect(2, 10, 30, 27, fill, kBlack);
    pen.Stroke(3, 11, 28, 11, kWhite);
}

void OpenFolder(Pen& pen, std::uint8_t fill) {
    pen.Poly({{2, 7}, {12, 7}, {14, 10}, {27, 10}, {27, 27}, {2, 27}}, kOlive, kBlack);
    pen.Rect(6, 5, 24, 18, kWhite, kGrey);
    pen.Poly({{2, 27}, {8, 14}, {31, 14}, {26, 27}}, fill, kBlack);
}

void Arrow(Pen& pen, std::uint8_t fill, bool left) {
    std::vector<Point> points = {{3, 12}, {17, 12}, {17, 5}, {29, 16}, {17, 27}, {17, 20}, {3, 20}};
    if (left)
        for (auto& point : points)
            point.x = 32 - point.x;
    pen.Poly(points, fill, kBlack);
}

void Wastebasket(Pen& pen, std::uint8_t fill) {
    pen.Poly({{7, 8}, {25, 8}, {23, 29}, {9, 29}}, fill, kBlack);
    pen.Rect(5, 6, 27, 9, kSilver, kBlack);
    for (double x : {12.0, 16.0, 20.0})
        pen.Stroke(x, 11, x, 27, kGrey);
}

void Globe(Pen& pen, std::uint8_t) {
    pen.Disc(16, 16, 13, 13, kBlue);
    pen.Disc(11, 12, 5, 4, kGreen);
    pen.Disc(20, 21, 6, 4, kGreen);
    pen.Disc(23, 10, 3, 2, kLime);
    pen.Ring(16, 16, 6, 13, 0, kAqua);
    pen.Ring(16, 16, 13, 13, 0, kNavy);
}

void Atom(Pen& pen, std::uint8_t fill) {
    for (double angle : {0.0, std::numbers::pi / 3, 2 * std::numbers::pi / 3})
        pen.Ring(16, 16, 13, 5, angle, Ink(fill));
    pen.Disc(16, 16, 3, 3, kRed);
}

void Document(Pen& pen, std::uint8_t fill) {
    pen.Poly({{7, 3}, {20, 3}, {26, 9}, {26, 29}, {7, 29}}, kWhite, kBlack);
    pen.Poly({{20, 3}, {20, 9}, {26, 9}}, kSilver, kBlack);
    for (double y = 12; y <= 24; y += 3)
        pen.Stroke(10, y, 23, y, Ink(fill));
}

void Penguin(Pen& pen, std::uint8_t) {
    pen.Disc(16, 17, 9, 12, kBlack);
    pen.Disc(16, 19, 6, 9, kWhite);
    pen.Disc(13, 9, 1.5, 1.5, kWhite);
    pen.Disc(19, 9, 1.5, 1.5, kWhite);
    pen.Poly({{14, 12}, {18, 12}, {16, 15}}, kYellow, kOlive);
    pen.Rect(9, 28, 14, 30, kYellow, kOlive);
    pen.Rect(18, 28, 23, 30, kYellow, kOlive);
}

void Person(Pen& pen, std::uint8_t fill) {
    pen.Disc(16, 23, 11, 7, fill);
    pen.Disc(16, 11, 6, 7, kSilver);
    pen.Ring(16, 11, 6, 7, 0, kBlack);
}

void Grill(Pen& pen, std::uint8_t fill) {
    pen.Rect(4, 8, 28, 22, kGrey, kBlack);
    for (double x = 7; x < 27; x += 3)
        pen.Stroke(x, 9, x, 20, fill);
    pen.Stroke(8, 22, 5, 30, kBlack);
    pen.Stroke(24, 22, 27, 30, kBlack);
}

void Windows(Pen& pen, std::uint8_t fill) {
    for (double at : {2.0, 8.0, 14.0}) {
        pen.Rect(at, at + 2, at + 16, at + 14, kWhite, kBlack);
        pen.Rect(at, at + 2, at + 16, at + 5, Ink(fill), kBlack);
    }
}

using Motif = std::function<void(Pen&, std::uint8_t)>;

const std::array<Motif, 12> kMotifs = {
    ClosedFolder,
    OpenFolder,
    [](Pen& pen, std::uint8_t f) { Arrow(pen, f, false); },
    [](Pen& pen, std::uint8_t f) { Arrow(pen, f, true); },
    Wastebasket,
    Globe,
    Atom,
    Document,
    Penguin,
    Person,
    Grill,
    Windows,
};

// Which motif a name shows: by its prefix, else one drawn by the name's hash.
std::size_t MotifOf(const std::string& lower, Random& random) {
    const std::pair<std::string_view, std::size_t> kPrefixes[] = {
        {"fldcls", 0},  {"folder", 0},  {"fldopn", 1},   {"fwd", 2},
        {"arrow", 2},   {"back", 3},    {"bin", 4},      {"globe", 5},
        {"atom", 6},    {"memo", 7},    {"contents", 7}, {"sysfile", 7},
        {"penguin", 8}, {"visitor", 9}, {"grill", 10},   {"group", 11},
    };
    for (auto [prefix, motif] : kPrefixes)
        if (lower.starts_with(prefix))
            return motif;
    return random.Below(kMotifs.size());
}

// The number in a name ("FldOpn3.ico" -> 3), 0 without one.
int NumberOf(std::string_view name) {
    int number = 0;
    for (char c : name.substr(0, name.find('.')))
        if (std::isdigit(static_cast<unsigned char>(c)))
            number = number * 10 + (c - '0');
    return number;
}

} // namespace

Picture DrawMotif(std::string_view name, int size) {
    std::string lower(name);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Random random(lower);
    Picture picture(size, size);
    Pen pen(picture);
    const std::size_t motif = MotifOf(lower, random);
    int number = NumberOf(name);
    std::uint8_t fill = number ? kFills[(number - 1) % kFills.size()] : random.Pick(kFills);
    kMotifs[motif](pen, fill);
    return picture;
}

} // namespace make_dist
