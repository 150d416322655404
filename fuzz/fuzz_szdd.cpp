// SZDD header classification and stream expansion on arbitrary bytes. The input is read
// both as a whole file (header, then body) and as a bare body; the expansion must match a
// plain byte-at-a-time ring-buffer decoder, must not depend on how reads are split, and
// cannot produce more than 18 bytes per 2 input bytes.
#include "platform/portable/files/szdd.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

namespace szdd = portable::szdd;
using Bytes = std::vector<std::uint8_t>;

class VectorSink : public szdd::ByteSink {
public:
    bool Write(const std::uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    Bytes bytes;
};

// Short reads of varying size, so group decoding resumes at every kind of boundary.
class ChoppySource : public szdd::ByteSource {
public:
    ChoppySource(const std::uint8_t* data, size_t size) : data_(data), size_(size) {}
    long Read(std::uint8_t* buffer, size_t size) override {
        size_t n = std::min({size, size_ - offset_, 1 + (calls_++ * 7) % 23});
        std::memcpy(buffer, data_ + offset_, n);
        offset_ += n;
        return static_cast<long>(n);
    }

private:
    const std::uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
    size_t calls_ = 0;
};

// The format as plainly as it can be written: a 4 KiB ring pre-filled with blanks.
Bytes Reference(const std::uint8_t* in, size_t size) {
    std::uint8_t ring[4096];
    std::memset(ring, ' ', sizeof ring);
    size_t pos = 4096 - 16, i = 0;
    Bytes out;
    while (i < size) {
        unsigned flags = in[i++];
        for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
            if (flags & 1) {
                if (i >= size)
                    return out;
                out.push_back(ring[pos] = in[i++]);
                pos = (pos + 1) & 4095;
            } else {
                if (i + 2 > size)
                    return out;
                size_t ref = in[i] | ((in[i + 1] & 0xF0u) << 4);
                size_t len = (in[i + 1] & 0x0Fu) + 3;
                i += 2;
                for (size_t k = 0; k < len; ++k) {
                    std::uint8_t c = ring[(ref + k) & 4095];
                    out.push_back(ring[pos] = c);
                    pos = (pos + 1) & 4095;
                }
            }
        }
    }
    return out;
}

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void ExpandBody(const std::uint8_t* body, size_t size) {
    VectorSink whole;
    auto result = szdd::ExpandStream(std::span<const std::uint8_t>(body, size), whole);
    Check(result.status == szdd::Status::Ok);
    Check(result.written == whole.bytes.size());
    Check(whole.bytes.size() <= size / 2 * 18 + size % 2 * 9); // 18 per 2 input bytes
    Check(whole.bytes == Reference(body, size));

    ChoppySource choppy(body, size);
    VectorSink pieces;
    result = szdd::ExpandStream(choppy, pieces);
    Check(result.status == szdd::Status::Ok);
    Check(pieces.bytes == whole.bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    auto header = szdd::ReadHeader(std::span<const std::uint8_t>(data, size));
    if (header.format != szdd::Format::Plain) {
        Check(size >= szdd::kHeaderSize && std::memcmp(data, "SZDD\x88\xF0\x27\x33", 8) == 0);
        Check((header.format == szdd::Format::Compressed) == (data[8] == 'A'));
        ExpandBody(data + szdd::kHeaderSize, size - szdd::kHeaderSize);
    }
    ExpandBody(data, size);
    return 0;
}
