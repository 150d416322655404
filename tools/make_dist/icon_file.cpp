#include "icon_file.h"

#include "bytes.h"
#include "picture.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace make_dist {
namespace {

constexpr int kIconSize = 32;
constexpr int kShades = 15; // per standard colour in the 256-colour table

std::size_t RowBytes(int width, int bits) {
    return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
}

std::uint8_t ShadeOf(std::uint8_t value, int shade) {
    int scaled = value * (55 + 5 * shade) / 100;
    return static_cast<std::uint8_t>(std::min(scaled, 255));
}

std::vector<Rgb> Palette(int bits) {
    std::vector<Rgb> palette(kStandardColours.begin(), kStandardColours.end());
    if (bits == 4)
        return palette;
    for (const Rgb& c : kStandardColours)
        for (int shade = 0; shade < kShades; ++shade)
            palette.push_back({ShadeOf(c.r, shade), ShadeOf(c.g, shade), ShadeOf(c.b, shade)});
    return palette;
}

// The colour-table index of a pixel: in 256 colours the picture's colours other than black
// and white are shaded, lighter towards the top.
unsigned PixelIndex(const Picture& picture, int x, int y, int bits) {
    if (!picture.Opaque(x, y))
        return 0; // transparent pixels: black under a set mask bit
    std::uint8_t colour = picture.At(x, y);
    if (bits == 4 || colour == kBlack || colour == kWhite)
        return colour;
    int shade = kShades - 1 - y * kShades / picture.height();
    return 16 + colour * kShades + shade;
}

// One image of an ICO file: header, colour table, colour bits and AND mask, both
// bottom-up with rows padded to 32 bits.
std::string IconImage(const Picture& picture, int bits) {
    const int w = picture.width(), h = picture.height();
    const std::vector<Rgb> palette = Palette(bits);
    std::string out;
    PutU32(out, 40);
    PutU32(out, w);
    PutU32(out, 2 * h); // colour bits and mask
    PutU16(out, 1);
    PutU16(out, bits);
    PutU32(out, 0); // BI_RGB
    PutU32(out, static_cast<std::uint32_t>((RowBytes(w, bits) + RowBytes(w, 1)) * h));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    for (const Rgb& c : palette) {
        PutU8(out, c.b);
        PutU8(out, c.g);
        PutU8(out, c.r);
        PutU8(out, 0);
    }
    for (int y = h - 1; y >= 0; --y) {
        std::string row(RowBytes(w, bits), '\0');
        for (int x = 0; x < w; ++x) {
            unsigned index = PixelIndex(picture, x, y, bits);
            if (bits == 8)
                row[x] = static_cast<char>(index);
            else
                row[x / 2] = static_cast<char>(row[x / 2] | (x % 2 ? index : index << 4));
        }
        out += row;
    }
    for (int y = h - 1; y >= 0; --y) {
        std::string row(RowBytes(w, 1), '\0');
        for (int x = 0; x < w; ++x)
            if (!picture.Opaque(x, y))
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

} // namespace

std::string IconFile(std::string_view name) {
    const Picture picture = DrawMotif(name, kIconSize);
    const std::string images[] = {IconImage(picture, 4), IconImage(picture, 8)};
    const int bits[] = {4, 8};
    std::string out;
    PutU16(out, 0);
    PutU16(out, 1); // icon
    PutU16(out, 2);
    std::uint32_t offset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        PutU8(out, kIconSize);
        PutU8(out, kIconSize);
        PutU8(out, bits[i] == 4 ? 16 : 0); // colour count, 0 for 256
        PutU8(out, 0);
        PutU16(out, 1);
        PutU16(out, bits[i]);
        PutU32(out, static_cast<std::uint32_t>(images[i].size()));
        PutU32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const std::string& image : images)
        out += image;
    return out;
}

std::string IconLibrary(std::string_view name, std::size_t count) {
    std::string stem(name.substr(0, name.find('.')));
    std::vector<std::string> names, icons;
    for (std::size_t i = 1; i <= count; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%02zu", i);
        names.push_back((stem + number).substr(0, 15));
        icons.push_back(IconFile(names.back()));
    }
    std::string out = "ICLB";
    PutU16(out, 1);
    PutU16(out, static_cast<unsigned>(count));
    std::uint32_t offset = static_cast<std::uint32_t>(8 + count * 24);
    for (std::size_t i = 0; i < count; ++i) {
        PutU32(out, offset);
        PutU32(out, static_cast<std::uint32_t>(icons[i].size()));
        std::string padded = names[i];
        padded.resize(16, '\0');
        out += padded;
        offset += static_cast<std::uint32_t>(icons[i].size());
    }
    for (const std::string& icon : icons)
        out += icon;
    return out;
}

} // namespace make_dist
