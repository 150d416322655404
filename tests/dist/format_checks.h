// Readers of the distribution's file formats, written apart from the generators so that the
// tests check the files against the formats and not against the code that wrote them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dist_checks {

std::uint32_t U16(std::string_view bytes, std::size_t at);
std::uint32_t U32(std::string_view bytes, std::size_t at);

struct GifPicture {
    int width = 0, height = 0;
    int transparent = -1; // colour index, -1 without a graphic control extension
    std::vector<std::uint8_t> pixels;
};

// Decodes a GIF89a file with one image and a global colour table the way a viewer does;
// an empty string when it is sound, else what is wrong.
std::string DecodeGif(std::string_view file, GifPicture& picture);

// Decodes GIF LZW data (without sub-block framing) into pixels; the error as above.
std::string DecodeLzw(std::string_view data, int minCodeSize, std::vector<std::uint8_t>& out);

// Checks an ICO file: directory, and per image a BITMAPINFOHEADER whose sizes add up to
// the directory's; images holds the bit depths found. Empty when sound.
std::string CheckIcon(std::string_view file, std::vector<int>& depths);

struct ZipListing {
    std::string name;
    std::string data;
    std::uint32_t crc = 0;
};

// Reads a stored ZIP archive from its central directory, checking each local header against
// its directory entry. Empty when sound.
std::string ReadStoredZip(std::string_view file, std::vector<ZipListing>& entries);

} // namespace dist_checks
