#include "platform/portable/szdd.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace portable::szdd {
namespace {

constexpr std::uint8_t kSignature[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};
constexpr size_t kWindow = 4096;
constexpr size_t kStartPos = kWindow - 16;
constexpr size_t kMaxMatch = 18;
constexpr size_t kGroupInput = 1 + 8 * 2;        // flag byte and eight references
constexpr size_t kGroupOutput = 8 * kMaxMatch;   // eight references of the longest kind
constexpr size_t kInChunk = 256 * 1024;
constexpr size_t kOutChunk = 1024 * 1024;

// Output is decoded into one linear buffer whose first kWindow bytes are the history the
// window references reach back into; the ring position of every byte is implied by the
// count of bytes produced, so no separate ring array is kept.
class Expander {
public:
    Expander(ByteSink& sink)
        : sink_(sink), out_(new std::uint8_t[kWindow + kOutChunk + kGroupOutput + kMaxMatch]) {
        std::memset(out_.get(), ' ', kWindow);
    }

    // Decodes whole groups while at least a full group of input is there; returns the
    // number of input bytes consumed. With last set it also decodes a final partial group.
    template <bool Last>
    size_t Decode(const std::uint8_t* in, size_t size) {
        size_t i = 0;
        while (Last ? i < size : size - i >= kGroupInput) {
            if (pos_ + kGroupOutput > kWindow + kOutChunk && !Flush())
                return i;
            std::uint8_t flags = in[i++];
            for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
                if (flags & 1) {
                    if (Last && i >= size)
                        return size;
                    out_[pos_++] = in[i++];
                    ring_ = (ring_ + 1) & (kWindow - 1);
                    continue;
                }
                if (Last && size - i < 2)
                    return size;
                size_t ref = in[i] | ((in[i + 1] & 0xF0u) << 4);
                size_t len = (in[i + 1] & 0x0Fu) + 3;
                i += 2;
                CopyMatch(ref, len);
            }
        }
        return i;
    }

    bool Flush() {
        if (pos_ > kWindow) {
            if (!sink_.Write(out_.get() + kWindow, pos_ - kWindow)) {
                failed_ = true;
                return false;
            }
            written_ += pos_ - kWindow;
            std::memmove(out_.get(), out_.get() + pos_ - kWindow, kWindow);
            pos_ = kWindow;
        }
        return true;
    }

    bool failed() const { return failed_; }
    std::uint64_t written() const { return written_; }

private:
    void CopyMatch(size_t ref, size_t len) {
        size_t distance = (ring_ - ref) & (kWindow - 1);
        if (distance == 0)
            distance = kWindow; // the slot about to be overwritten: written a window ago
        std::uint8_t* dst = out_.get() + pos_;
        const std::uint8_t* src = dst - distance;
        if (distance >= kMaxMatch) {
            std::memcpy(dst, src, kMaxMatch); // fixed size: the buffer has slack behind
        } else {
            for (size_t k = 0; k < len; ++k)
                dst[k] = src[k];
        }
        pos_ += len;
        ring_ = (ring_ + len) & (kWindow - 1);
    }

    ByteSink& sink_;
    std::unique_ptr<std::uint8_t[]> out_;
    size_t pos_ = kWindow;
    size_t ring_ = kStartPos;
    std::uint64_t written_ = 0;
    bool failed_ = false;
};

class SpanSource : public ByteSource {
public:
    explicit SpanSource(std::span<const std::uint8_t> data) : data_(data) {}
    long Read(std::uint8_t* buffer, size_t size) override {
        size_t n = std::min(size, data_.size() - offset_);
        std::memcpy(buffer, data_.data() + offset_, n);
        offset_ += n;
        return static_cast<long>(n);
    }

private:
    std::span<const std::uint8_t> data_;
    size_t offset_ = 0;
};

} // namespace

Header ReadHeader(std::span<const std::uint8_t> firstBytes) {
    Header header;
    if (firstBytes.size() < kHeaderSize || std::memcmp(firstBytes.data(), kSignature, 8) != 0)
        return header;
    header.format = firstBytes[8] == 'A' ? Format::Compressed : Format::UnknownAlgorithm;
    header.missingChar = firstBytes[9];
    header.expandedLength = static_cast<std::uint32_t>(firstBytes[10]) |
                            static_cast<std::uint32_t>(firstBytes[11]) << 8 |
                            static_cast<std::uint32_t>(firstBytes[12]) << 16 |
                            static_cast<std::uint32_t>(firstBytes[13]) << 24;
    return header;
}

Result ExpandStream(ByteSource& input, ByteSink& output) {
    Expander expander(output);
    std::vector<std::uint8_t> in(kInChunk + kGroupInput);
    size_t have = 0;
    for (;;) {
        long got = input.Read(in.data() + have, kInChunk);
        if (got < 0) {
            expander.Flush();
            return {Status::ReadError, expander.written()};
        }
        have += static_cast<size_t>(got);
        size_t used = got == 0 ? expander.Decode<true>(in.data(), have)
                               : expander.Decode<false>(in.data(), have);
        if (expander.failed())
            return {Status::WriteError, expander.written()};
        if (got == 0)
            break;
        std::memmove(in.data(), in.data() + used, have - used);
        have -= used;
    }
    if (!expander.Flush())
        return {Status::WriteError, expander.written()};
    return {Status::Ok, expander.written()};
}

Result ExpandStream(std::span<const std::uint8_t> body, ByteSink& output) {
    SpanSource source(body);
    return ExpandStream(source, output);
}

} // namespace portable::szdd
