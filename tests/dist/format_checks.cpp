#include "format_checks.h"

#include <stdexcept>

namespace dist_checks {

std::uint32_t U16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8;
}

std::uint32_t U32(std::string_view bytes, std::size_t at) {
    return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

std::string DecodeLzw(std::string_view data, int minCodeSize, std::vector<std::uint8_t>& out) {
    const unsigned clear = 1u << minCodeSize, end = clear + 1;
    std::vector<std::string> table;
    int size = minCodeSize + 1;
    std::size_t bit = 0;
    auto read = [&](unsigned& code) {
        if (bit + size > data.size() * 8)
            return false;
        code = 0;
        for (int i = 0; i < size; ++i, ++bit)
            code |= ((static_cast<unsigned char>(data[bit / 8]) >> (bit % 8)) & 1u) << i;
        return true;
    };
    std::string previous;
    bool cleared = false;
    for (;;) {
        unsigned code;
        if (!read(code))
            return "LZW data ends without an end code";
        if (code == clear) {
            table.clear();
            for (unsigned i = 0; i < clear; ++i)
                table.emplace_back(1, static_cast<char>(i));
            table.emplace_back(); // clear
            table.emplace_back(); // end
            size = minCodeSize + 1;
            previous.clear();
            cleared = true;
            continue;
        }
        if (!cleared)
            return "LZW data does not start with a clear code";
        if (code == end)
            break;
        std::string entry;
        if (code < table.size() && code != clear && code != end)
            entry = table[code];
        else if (code == table.size() && !previous.empty())
            entry = previous + previous[0];
        else
            return "LZW code " + std::to_string(code) + " names no entry";
        out.insert(out.end(), entry.begin(), entry.end());
        if (!previous.empty() && table.size() < 4096)
            table.push_back(previous + entry[0]);
        if (table.size() == (1u << size) && size < 12)
            ++size;
        previous = entry;
    }
    if ((bit + 7) / 8 != data.size())
        return "bytes after the end code";
    return "";
}

std::string DecodeGif(std::string_view file, GifPicture& picture) {
    if (file.size() < 13 || file.substr(0, 6) != "GIF89a")
        return "no GIF89a header";
    picture.width = static_cast<int>(U16(file, 6));
    picture.height = static_cast<int>(U16(file, 8));
    const unsigned flags = static_cast<unsigned char>(file[10]);
    if (!(flags & 0x80))
        return "no global colour table";
    std::size_t at = 13 + 3 * (2u << (flags & 7));
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(file.at(i)); };
    // Sub-blocks from at; returns their contents and moves at past the terminator.
    auto blocks = [&]() {
        std::string data;
        while (byte(at) != 0) {
            data += std::string(file.substr(at + 1, byte(at)));
            at += 1 + byte(at);
        }
        ++at;
        return data;
    };
    try {
        while (byte(at) == 0x21) {
            const unsigned label = byte(at + 1);
            at += 2;
            std::string extension = blocks();
            if (label == 0xF9 && extension.size() == 4 && (extension[0] & 1))
                picture.transparent = static_cast<unsigned char>(extension[3]);
        }
        if (byte(at) != 0x2C)
            return "no image descriptor";
        if (U16(file, at + 5) != static_cast<unsigned>(picture.width) ||
            U16(file, at + 7) != static_cast<unsigned>(picture.height))
            return "image and screen differ in size";
        if (byte(at + 9) & 0x80)
            return "unexpected local colour table";
        const int minCodeSize = byte(at + 10);
        at += 11;
        std::string data = blocks();
        if (byte(at) != 0x3B || at + 1 != file.size())
            return "no trailer at the end";
        std::string error = DecodeLzw(data, minCodeSize, picture.pixels);
        if (!error.empty())
            return error;
    } catch (const std::out_of_range&) {
        return "file ends early";
    }
    if (picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
        return "pixel count " + std::to_string(picture.pixels.size()) + " does not fit the size";
    return "";
}

std::string CheckIcon(std::string_view file, std::vector<int>& depths) {
    if (file.size() < 6 || U16(file, 0) != 0 || U16(file, 2) != 1)
        return "no icon header";
    const std::size_t count = U16(file, 4);
    std::size_t expectedOffset = 6 + 16 * count;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        if (entry + 16 > file.size())
            return "directory cut short";
        const unsigned width = static_cast<unsigned char>(file[entry]);
        const unsigned height = static_cast<unsigned char>(file[entry + 1]);
        const unsigned bits = U16(file, entry + 6);
        const std::size_t size = U32(file, entry + 8), offset = U32(file, entry + 12);
        if (offset != expectedOffset || offset + size > file.size())
            return "image " + std::to_string(i) + " lies outside its place";
        expectedOffset += size;
        std::string_view image = file.substr(offset, size);
        if (U32(image, 0) != 40 || U32(image, 4) != width || U32(image, 8) != 2 * height ||
            U16(image, 12) != 1 || U16(image, 14) != bits || U32(image, 16) != 0)
            return "image " + std::to_string(i) + " has a header that does not fit its entry";
        const std::size_t colourRow = (width * bits + 31) / 32 * 4, maskRow = (width + 31) / 32 * 4;
        const std::size_t expected =
            40 + 4 * (std::size_t{1} << bits) + (colourRow + maskRow) * height;
        if (size != expected)
            return "image " + std::to_string(i) + " is " + std::to_string(size) + " bytes, not " +
                   std::to_string(expected);
        depths.push_back(static_cast<int>(bits));
    }
    if (expectedOffset != file.size())
        return "bytes after the last image";
    return "";
}

std::string ReadStoredZip(std::string_view file, std::vector<ZipListing>& entries) {
    if (file.size() < 22 || file.substr(file.size() - 22, 4) != "PK\x05\x06")
        return "no end record (without a comment) at the end";
    const std::size_t end = file.size() - 22;
    const std::size_t count = U16(file, end + 10);
    std::size_t at = U32(file, end + 16);
    if (at + U32(file, end + 12) != end)
        return "central directory does not end at the end record";
    for (std::size_t i = 0; i < count; ++i) {
        if (file.substr(at, 4) != "PK\x01\x02")
            return "central entry " + std::to_string(i) + " missing";
        const std::size_t nameLength = U16(file, at + 28);
        const std::size_t extra = U16(file, at + 30), comment = U16(file, at + 32);
        ZipListing listing;
        listing.name = file.substr(at + 46, nameLength);
        listing.crc = U32(file, at + 16);
        const std::size_t size = U32(file, at + 20), local = U32(file, at + 42);
        if (U16(file, at + 10) != 0 || U32(file, at + 24) != size)
            return listing.name + ": not stored";
        if (file.substr(local, 4) != "PK\x03\x04" ||
            file.substr(local + 14, 12) != file.substr(at + 16, 12) ||
            file.substr(local + 30, U16(file, local + 26)) != listing.name)
            return listing.name + ": local header differs from the directory";
        listing.data =
            file.substr(local + 30 + U16(file, local + 26) + U16(file, local + 28), size);
        entries.push_back(std::move(listing));
        at += 46 + nameLength + extra + comment;
    }
    return "";
}

} // namespace dist_checks
