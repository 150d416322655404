#include "gif_image.h"

#include "bytes.h"
#include "picture.h"

#include <array>
#include <unordered_map>

namespace make_dist {
namespace {

constexpr int kMaxCodes = 4096;

class BitWriter {
public:
    void Put(unsigned code, int bits) {
        accumulator_ |= static_cast<std::uint32_t>(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            out_ += static_cast<char>(accumulator_ & 0xFF);
            accumulator_ >>= 8;
            count_ -= 8;
        }
    }
    std::string Finish() {
        if (count_ > 0)
            out_ += static_cast<char>(accumulator_ & 0xFF);
        return std::move(out_);
    }

private:
    std::string out_;
    std::uint32_t accumulator_ = 0;
    int count_ = 0;
};

// The colour undrawn pixels get: one the picture does not use, so it can be transparent.
int UnusedColour(const Picture& picture) {
    std::array<bool, 16> used{};
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.Opaque(x, y))
                used[picture.At(x, y) & 15] = true;
    for (int colour = 15; colour >= 0; --colour)
        if (!used[colour])
            return colour;
    return -1;
}

// Data sub-blocks of at most 255 bytes, then the block terminator.
void PutSubBlocks(std::string& out, const std::string& data) {
    for (std::size_t at = 0; at < data.size(); at += 255) {
        std::size_t n = std::min<std::size_t>(255, data.size() - at);
        PutU8(out, static_cast<unsigned>(n));
        out.append(data, at, n);
    }
    PutU8(out, 0);
}

} // namespace

std::string LzwEncode(const std::vector<std::uint8_t>& indices, int minCodeSize) {
    const unsigned clear = 1u << minCodeSize, end = clear + 1;
    BitWriter bits;
    int size = minCodeSize + 1;
    unsigned next = end + 1;
    std::unordered_map<std::uint32_t, unsigned> table;
    bits.Put(clear, size);
    if (indices.empty()) {
        bits.Put(end, size);
        return bits.Finish();
    }
    unsigned prefix = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
        std::uint32_t key = (prefix << 8) | indices[i];
        if (auto found = table.find(key); found != table.end()) {
            prefix = found->second;
            continue;
        }
        bits.Put(prefix, size);
        if (next < kMaxCodes) {
            table.emplace(key, next++);
            // The reader adds its entry one code later, so it widens its codes once the
            // next free entry is past what the current width can name.
            if (next > (1u << size) && size < 12)
                ++size;
        } else {
            bits.Put(clear, size);
            table.clear();
            next = end + 1;
            size = minCodeSize + 1;
        }
        prefix = indices[i];
    }
    bits.Put(prefix, size);
    bits.Put(end, size);
    return bits.Finish();
}

std::string GifImage(const Picture& picture) {
    const int transparent = UnusedColour(picture);
    const int background = transparent >= 0 ? transparent : kWhite;
    std::string out = "GIF89a";
    PutU16(out, picture.width());
    PutU16(out, picture.height());
    PutU8(out, 0x80 | (7 << 4) | 3); // global table of 2^(3+1) colours, 8-bit primaries
    PutU8(out, background);
    PutU8(out, 0); // square pixels
    for (const Rgb& c : kStandardColours) {
        PutU8(out, c.r);
        PutU8(out, c.g);
        PutU8(out, c.b);
    }
    if (transparent >= 0) {
        out += "\x21\xF9\x04";
        PutU8(out, 0x01); // no disposal, transparent colour given
        PutU16(out, 0);   // no delay
        PutU8(out, transparent);
        PutU8(out, 0);
    }
    out += '\x2C';
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, picture.width());
    PutU16(out, picture.height());
    PutU8(out, 0); // no local table, not interlaced
    std::vector<std::uint8_t> indices;
    indices.reserve(static_cast<std::size_t>(picture.width()) * picture.height());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            indices.push_back(picture.Opaque(x, y) ? picture.At(x, y) & 15 : background);
    const int minCodeSize = 4;
    PutU8(out, minCodeSize);
    PutSubBlocks(out, LzwEncode(indices, minCodeSize));
    out += '\x3B';
    return out;
}

} // namespace make_dist
