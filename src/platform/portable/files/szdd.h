// The SZDD format of the COMPRESS utility: a 14-byte header followed by an LZSS stream
// (4 KiB window pre-filled with blanks, writing from position 4080; one flag byte per eight
// items, bit set = literal byte, bit clear = two-byte window reference of 3 to 18 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace portable::szdd {

inline constexpr size_t kHeaderSize = 14;

enum class Format {
    Plain,            // not SZDD (or shorter than a header): copied byte for byte
    Compressed,       // SZDD with algorithm 'A'
    UnknownAlgorithm, // SZDD signature with another algorithm byte: cannot be expanded
};

struct Header {
    Format format = Format::Plain;
    std::uint8_t missingChar = 0;     // last character of the expanded file's name
    std::uint32_t expandedLength = 0; // as recorded; the stream itself decides
};

// Classifies a file from its first bytes (fewer than kHeaderSize means Plain).
Header ReadHeader(std::span<const std::uint8_t> firstBytes);

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to size bytes; returns the count, 0 at the end, -1 on a read error.
    virtual long Read(std::uint8_t* buffer, size_t size) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool Write(const std::uint8_t* data, size_t size) = 0;
};

// A host file descriptor as source or sink (reads and writes retried on EINTR, writes
// completed in full).
class FdSource : public ByteSource {
public:
    explicit FdSource(int fd) : fd_(fd) {}
    long Read(std::uint8_t* buffer, size_t size) override;

private:
    int fd_;
};

class FdSink : public ByteSink {
public:
    explicit FdSink(int fd) : fd_(fd) {}
    bool Write(const std::uint8_t* data, size_t size) override;

private:
    int fd_;
};

enum class Status { Ok, ReadError, WriteError };

struct Result {
    Status status = Status::Ok;
    std::uint64_t written = 0;
};

// Expands the LZSS stream that follows the header. The stream ends where the input ends;
// an item cut short by the end of input is dropped, so a damaged or truncated file yields
// exactly the bytes that decode from what is there and nothing is read or written out of
// bounds, whatever the input.
Result ExpandStream(ByteSource& input, ByteSink& output);

// Convenience for memory buffers (tests, fuzzing): body excludes the header.
Result ExpandStream(std::span<const std::uint8_t> body, ByteSink& output);

} // namespace portable::szdd
