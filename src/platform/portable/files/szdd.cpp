#include "platform/portable/files/szdd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace portable::szdd {
namespace {

constexpr std::uint8_t kSignature[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};
constexpr size_t kWindow = 4096;
constexpr size_t kStartPos = kWindow - 16;
constexpr size_t kMaxMatch = 18;
constexpr size_t kGroupInput = 1 + 8 * 2;      // flag byte and eight references
constexpr size_t kGroupOutput = 8 * kMaxMatch; // eight references of the longest kind
constexpr size_t kCopyOvershoot = 32;          // matches are copied in whole 8/16-byte steps
// Buffers start small, as most packed files are, and grow once a file proves larger.
constexpr size_t kFirstChunk = 32 * 1024;
constexpr size_t kInChunk = 256 * 1024;
constexpr size_t kOutChunk = 1024 * 1024;

// Output is decoded into one linear buffer whose first kWindow bytes are the history the
// window references reach back into. The ring position of a buffer index is the index plus
// a bias that changes only when the buffer is flushed, so no ring array is kept and a
// reference becomes a copy from a fixed distance back. The buffer has room behind its
// chunk for one whole group plus the overshoot of the widened copies.
class Expander {
public:
    Expander(ByteSink& sink, size_t chunk) : sink_(sink), chunk_(chunk), base_(Allocate(chunk)) {
        std::memset(base_.get(), ' ', kWindow);
    }

    // Decodes whole groups while a full group of input remains; with Last set, also the
    // final partial group, dropping an item the input cuts short. Returns the input used.
    template <bool Last> size_t Decode(const std::uint8_t* in, size_t size) {
        std::uint8_t* base = base_.get();
        std::uint8_t* limit = base + kWindow + chunk_;
        std::uint8_t* o = base + pos_;
        size_t i = 0;
        while (Last ? i < size : size - i >= kGroupInput) {
            if (o > limit) {
                pos_ = static_cast<size_t>(o - base);
                if (!Flush())
                    return i;
                base = base_.get();
                limit = base + kWindow + chunk_;
                o = base + pos_;
            }
            unsigned flags = in[i++];
            if (!Last && flags == 0xFF) { // eight literals, common in poorly packed data
                std::memcpy(o, in + i, 8);
                o += 8;
                i += 8;
                continue;
            }
            for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
                if (flags & 1) {
                    if (Last && i >= size)
                        break;
                    *o++ = in[i++];
                    continue;
                }
                if (Last && size - i < 2) {
                    i = size;
                    break;
                }
                size_t ref = in[i] | ((in[i + 1] & 0xF0u) << 4);
                size_t len = (in[i + 1] & 0x0Fu) + 3;
                i += 2;
                // Distance back to the referenced ring slot, 1 to 4096: the slot about to
                // be overwritten was written a whole window ago.
                size_t ring = static_cast<size_t>(o - base) + bias_;
                size_t distance = ((ring - ref - 1) & (kWindow - 1)) + 1;
                Copy(o, distance, len);
                o += len;
            }
        }
        pos_ = static_cast<size_t>(o - base);
        return i;
    }

    // Writes what was decoded; unless it is the last time, keeps the history for what
    // follows.
    bool Flush(bool last = false) {
        if (pos_ > kWindow) {
            size_t produced = pos_ - kWindow;
            if (!sink_.Write(base_.get() + kWindow, produced)) {
                failed_ = true;
                return false;
            }
            written_ += produced;
            if (last) {
                pos_ = kWindow;
                return true;
            }
            if (chunk_ < kOutChunk) { // more is coming: move to the full-size buffer
                auto larger = Allocate(kOutChunk);
                std::memcpy(larger.get(), base_.get() + produced, kWindow);
                base_ = std::move(larger);
                chunk_ = kOutChunk;
            } else {
                std::memmove(base_.get(), base_.get() + produced, kWindow);
            }
            pos_ = kWindow;
            bias_ += produced;
        }
        return true;
    }

    bool failed() const { return failed_; }
    std::uint64_t written() const { return written_; }

private:
    static std::unique_ptr<std::uint8_t[]> Allocate(size_t chunk) {
        return std::make_unique_for_overwrite<std::uint8_t[]>(kWindow + chunk + kGroupOutput +
                                                              kCopyOvershoot);
    }

    // Copies len (3..18) bytes from distance back; copies that overlap their own output
    // repeat it, as the byte-by-byte ring does. Far sources are copied in fixed-size
    // steps, each reading only bytes already in place.
    static void Copy(std::uint8_t* o, size_t distance, size_t len) {
        const std::uint8_t* src = o - distance;
        if (distance >= 16) {
            std::memcpy(o, src, 16);
            std::memcpy(o + 16, src + 16, 16);
        } else if (distance >= 8) {
            std::memcpy(o, src, 8);
            std::memcpy(o + 8, src + 8, 8);
            std::memcpy(o + 16, src + 16, 8);
        } else {
            for (size_t k = 0; k < len; ++k)
                o[k] = src[k];
        }
    }

    ByteSink& sink_;
    size_t chunk_;
    std::unique_ptr<std::uint8_t[]> base_;
    size_t pos_ = kWindow;
    size_t bias_ = kStartPos - kWindow; // ring position of index kWindow is kStartPos
    std::uint64_t written_ = 0;
    bool failed_ = false;
};

Result Finish(Expander& expander) {
    if (!expander.Flush(true))
        return {Status::WriteError, expander.written()};
    return {Status::Ok, expander.written()};
}

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
    Expander expander(output, kFirstChunk);
    // Unread input: at most one partial group is carried over to the next read.
    size_t chunk = kFirstChunk;
    auto in = std::make_unique_for_overwrite<std::uint8_t[]>(kGroupInput + chunk);
    size_t have = 0;
    for (;;) {
        long got = input.Read(in.get() + have, chunk);
        if (got < 0) {
            expander.Flush(true);
            return {Status::ReadError, expander.written()};
        }
        have += static_cast<size_t>(got);
        size_t used = got == 0 ? expander.Decode<true>(in.get(), have)
                               : expander.Decode<false>(in.get(), have);
        if (expander.failed())
            return {Status::WriteError, expander.written()};
        if (got == 0)
            break;
        std::memmove(in.get(), in.get() + used, have - used);
        have -= used;
        if (static_cast<size_t>(got) == chunk && chunk < kInChunk) {
            auto larger = std::make_unique_for_overwrite<std::uint8_t[]>(kGroupInput + kInChunk);
            std::memcpy(larger.get(), in.get(), have);
            in = std::move(larger);
            chunk = kInChunk;
        }
    }
    return Finish(expander);
}

Result ExpandStream(std::span<const std::uint8_t> body, ByteSink& output) {
    // Nothing to carry between reads: decode in place. The output cannot exceed 18 bytes
    // per 2 input bytes, so small bodies get a buffer to match.
    size_t bound = body.size() < kOutChunk / 9 ? body.size() * 9 : kOutChunk;
    Expander expander(output, std::min(bound, kOutChunk));
    size_t used = expander.Decode<false>(body.data(), body.size());
    if (!expander.failed())
        expander.Decode<true>(body.data() + used, body.size() - used);
    if (expander.failed())
        return {Status::WriteError, expander.written()};
    return Finish(expander);
}

long FdSource::Read(std::uint8_t* buffer, size_t size) {
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0 || errno != EINTR)
            return static_cast<long>(n);
    }
}

bool FdSink::Write(const std::uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC; // a regular file takes nothing more only when its disk is full
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace portable::szdd
