// The SZDD decoder: files packed by Debian's mscompress expand to their original bytes,
// header classification, error reporting, and byte-for-byte agreement with libmspack on
// valid, random, truncated and damaged streams.
#include "platform/portable/files/szdd.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>
#include <mspack.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace szdd = portable::szdd;
using Bytes = std::vector<std::uint8_t>;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteHostFile;

Bytes ToBytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

class VectorSink : public szdd::ByteSink {
public:
    bool Write(const std::uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        ++writes;
        return true;
    }
    Bytes bytes;
    int writes = 0;
};

// Hands out at most `step` bytes per read, so group decoding has to resume across reads;
// fails with -1 once failAt bytes were delivered, when set.
class ChunkedSource : public szdd::ByteSource {
public:
    ChunkedSource(const Bytes& data, size_t step, size_t failAt = SIZE_MAX)
        : data_(data), step_(step), failAt_(failAt) {}
    long Read(std::uint8_t* buffer, size_t size) override {
        if (offset_ >= failAt_)
            return -1;
        size_t n = std::min({size, step_, data_.size() - offset_, failAt_ - offset_});
        std::memcpy(buffer, data_.data() + offset_, n);
        offset_ += n;
        return static_cast<long>(n);
    }

private:
    const Bytes& data_;
    size_t step_;
    size_t failAt_;
    size_t offset_ = 0;
};

class FailingSink : public szdd::ByteSink {
public:
    bool Write(const std::uint8_t*, size_t) override { return false; }
};

// Expands a whole SZDD file held in memory; the header must say algorithm 'A'.
Bytes Expand(const Bytes& file) {
    auto header = szdd::ReadHeader(file);
    EXPECT_EQ(header.format, szdd::Format::Compressed);
    VectorSink sink;
    std::span<const std::uint8_t> body(file);
    auto result = szdd::ExpandStream(body.subspan(std::min(file.size(), szdd::kHeaderSize)), sink);
    EXPECT_EQ(result.status, szdd::Status::Ok);
    EXPECT_EQ(result.written, sink.bytes.size());
    return sink.bytes;
}

// Packs data with Debian's mscompress (which writes NAME_ beside NAME).
Bytes MsCompress(const TempDir& dir, const Bytes& data) {
    fs::path plain = dir.path() / "data.bin";
    fs::path packed = dir.path() / "data.bin_";
    fs::remove(packed);
    WriteHostFile(plain, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    std::string output;
    int rc = RunCommand("cd '" + dir.path().string() + "' && mscompress data.bin 2>&1", &output);
    EXPECT_EQ(rc, 0) << output;
    return ToBytes(ReadHostFile(packed));
}

Bytes RandomBytes(std::mt19937& rng, size_t n) {
    Bytes out(n);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(rng());
    return out;
}

Bytes TextLike(std::mt19937& rng, size_t n) {
    static const char* const words[] = {"setup",  "the ", "Windows", "SYSTEM.INI",      "\r\n",
                                        "[boot]", "=",    "driver",  "C:\\WINDOWS\\",   "  ",
                                        "Zep",    "copy", "file",    "version 4.00.950"};
    Bytes out;
    while (out.size() < n) {
        std::string_view w = words[rng() % std::size(words)];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(n);
    return out;
}

Bytes Runs(std::mt19937& rng, size_t n) {
    Bytes out;
    while (out.size() < n)
        out.insert(out.end(), 1 + rng() % 3000, static_cast<std::uint8_t>(rng() % 4));
    out.resize(n);
    return out;
}

// A valid SZDD file holding data as literals only (eight per flag byte).
Bytes PackLiterals(const Bytes& data) {
    Bytes file = ToBytes(std::string("SZDD\x88\xF0\x27\x33\x41\x00", 10));
    for (int i = 0; i < 4; ++i)
        file.push_back(static_cast<std::uint8_t>(data.size() >> (8 * i)));
    for (size_t i = 0; i < data.size(); ++i) {
        if (i % 8 == 0)
            file.push_back(0xFF);
        file.push_back(data[i]);
    }
    return file;
}

// Made by Debian's mscompress 0.4 from the 24 bytes "hello hello hello world\n".
constexpr std::uint8_t kGolden[] = {0x53, 0x5a, 0x44, 0x44, 0x88, 0xf0, 0x27, 0x33, 0x41, 0x00,
                                    0x18, 0x00, 0x00, 0x00, 0xbf, 0x68, 0x65, 0x6c, 0x6c, 0x6f,
                                    0x20, 0xf0, 0xf9, 0x77, 0x1f, 0x6f, 0x72, 0x6c, 0x64, 0x0a};

TEST(SzddGolden, EmbeddedFileExpands) {
    Bytes file(std::begin(kGolden), std::end(kGolden));
    auto header = szdd::ReadHeader(file);
    EXPECT_EQ(header.expandedLength, 24u);
    EXPECT_EQ(Expand(file), ToBytes("hello hello hello world\n"));
}

TEST(SzddMsCompress, ExpandsToTheOriginal) {
    TempDir dir;
    std::mt19937 rng(1995);
    struct Case {
        const char* name;
        Bytes data;
    };
    // Over 1 MiB, so the output buffer is flushed mid-stream, with every kind of content.
    Bytes mixed = TextLike(rng, 600000);
    Bytes random = RandomBytes(rng, 200000);
    mixed.insert(mixed.end(), random.begin(), random.end());
    Bytes runs = Runs(rng, 500000);
    mixed.insert(mixed.end(), runs.begin(), runs.end());
    std::vector<Case> cases = {
        {"16 bytes", ToBytes("abcdefghijklmnop")},
        {"text", ToBytes("[boot]\r\nshell=Explorer.exe\r\n[boot]\r\nshell=Explorer.exe\r\n")},
        {"random", RandomBytes(rng, 3000)},
        {"long runs", Runs(rng, 20000)},
        {"blanks", Bytes(10000, ' ')},
        {"text over 4 KiB", TextLike(rng, 50000)},
        {"mixed over 1 MiB", std::move(mixed)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes packed = MsCompress(dir, c.data);
        if (packed.size() < szdd::kHeaderSize) {
            ADD_FAILURE() << "mscompress wrote " << packed.size() << " bytes";
            continue;
        }
        EXPECT_EQ(szdd::ReadHeader(packed).expandedLength, c.data.size());
        Bytes expanded = Expand(packed);
        EXPECT_EQ(expanded.size(), c.data.size());
        EXPECT_TRUE(expanded == c.data);
    }
}

// Debian's mscompress 0.4 mis-packs inputs under 16 bytes (its stream holds bytes it never
// read: "z" comes out as one NUL byte). For those, the expansion must match what msexpand
// makes of the same file, and a correctly packed tiny file must round-trip.
TEST(SzddMsCompress, TinyFiles) {
    TempDir dir;
    std::mt19937 rng(16);
    for (size_t n = 0; n < 16; ++n) {
        SCOPED_TRACE(n);
        Bytes data = RandomBytes(rng, n);
        Bytes packed = MsCompress(dir, data);
        ASSERT_GE(packed.size(), szdd::kHeaderSize);
        EXPECT_EQ(szdd::ReadHeader(packed).expandedLength, n);
        std::string theirs;
        RunCommand("cd '" + dir.path().string() + "' && msexpand < data.bin_", &theirs);
        EXPECT_TRUE(Expand(packed) == ToBytes(theirs));
        EXPECT_TRUE(Expand(PackLiterals(data)) == data);
    }
}

TEST(SzddMsCompress, ReadsInAnyChunkSize) {
    TempDir dir;
    std::mt19937 rng(7);
    Bytes data = TextLike(rng, 40000);
    Bytes packed = MsCompress(dir, data);
    Bytes body(packed.begin() + szdd::kHeaderSize, packed.end());
    for (size_t step : {1, 2, 3, 7, 16, 17, 18, 4096}) {
        SCOPED_TRACE(step);
        ChunkedSource source(body, step);
        VectorSink sink;
        auto result = szdd::ExpandStream(source, sink);
        EXPECT_EQ(result.status, szdd::Status::Ok);
        EXPECT_TRUE(sink.bytes == data);
    }
}

TEST(SzddHeader, Classification) {
    const std::string sig = "SZDD\x88\xF0\x27\x33";
    auto classify = [](std::string s) { return szdd::ReadHeader(ToBytes(s)).format; };
    EXPECT_EQ(classify(""), szdd::Format::Plain);
    EXPECT_EQ(classify(sig + "A"), szdd::Format::Plain);                         // too short
    EXPECT_EQ(classify(sig + std::string("A\0\0\0\0", 5)), szdd::Format::Plain); // 13 bytes
    EXPECT_EQ(classify(sig + std::string("A\0\0\0\0\0", 6)), szdd::Format::Compressed);
    EXPECT_EQ(classify("SZDD\x88\xF0\x27\x34" + std::string("A\0\0\0\0\0", 6)),
              szdd::Format::Plain);
    EXPECT_EQ(classify("szdd\x88\xF0\x27\x33" + std::string("A\0\0\0\0\0", 6)),
              szdd::Format::Plain);
    // The other header libraries accept ("SZ \x88..."): Windows' LZ does not.
    EXPECT_EQ(classify("SZ \x88\xF0\x27\x33\xD1" + std::string("\0\0\0\0\0", 5)),
              szdd::Format::Plain);
    for (char alg : {'B', 'a', 'C', '\0', '\xFF'})
        EXPECT_EQ(classify(sig + alg + std::string("\0\0\0\0\0", 5)),
                  szdd::Format::UnknownAlgorithm)
            << int(alg);
}

TEST(SzddHeader, Fields) {
    auto h = szdd::ReadHeader(ToBytes("SZDD\x88\xF0\x27\x33\x41X\x04\x03\x02\x81 trailing"));
    EXPECT_EQ(h.format, szdd::Format::Compressed);
    EXPECT_EQ(h.missingChar, 'X');
    EXPECT_EQ(h.expandedLength, 0x81020304u);
}

// Hand-made streams for the corners of the window: references into the blank-filled
// history before anything was written, a reference to the slot about to be overwritten
// (a whole window back), overlapping copies, and items cut short by the end of input.
TEST(SzddStream, WindowCorners) {
    auto expand = [](Bytes body) {
        VectorSink sink;
        EXPECT_EQ(szdd::ExpandStream(body, sink).status, szdd::Status::Ok);
        return std::string(sink.bytes.begin(), sink.bytes.end());
    };
    // Flag 0: one reference at position 0, 18 bytes: all pre-filled blanks.
    EXPECT_EQ(expand({0x00, 0x00, 0x0F}), std::string(18, ' '));
    // Literal 'a' at 4080, then a reference to 4080 of 18 bytes overlapping itself.
    EXPECT_EQ(expand({0x01, 'a', 0xF0, 0xFF}), std::string(19, 'a'));
    // "ab" then a reference to 4080 of 5: "ababa".
    EXPECT_EQ(expand({0x03, 'a', 'b', 0xF0, 0xF2}), "abababa");
    // A reference to the write position itself reads what was there a window ago: blanks
    // at first.
    EXPECT_EQ(expand({0x01, 'x', 0xF1, 0xF0}), "x   ");
    // Cut-short items are dropped: a lone flag, a literal's missing byte, half a reference.
    EXPECT_EQ(expand({0x00}), "");
    EXPECT_EQ(expand({0x01}), "");
    EXPECT_EQ(expand({0x00, 0x12}), "");
    EXPECT_EQ(expand({0x01, 'q', 0x34}), "q");
    EXPECT_EQ(expand({}), "");
}

TEST(SzddStream, WindowWrapsAfter4KiB) {
    // 4100 literals fill the window past its end; a reference to position 4080 then reads
    // the 4097th byte written, which replaced the first.
    Bytes body;
    std::string written;
    for (int i = 0; i < 4100; ++i) {
        if (i % 8 == 0)
            body.push_back(0xFF);
        char c = static_cast<char>('A' + i % 26);
        if (i == 4096)
            c = '#';
        body.push_back(static_cast<std::uint8_t>(c));
        written += c;
    }
    while (written.size() % 8 != 0) { // complete the flag byte's group with literals
        body.push_back('.');
        written += '.';
    }
    body.push_back(0x00);
    body.push_back(0xF0); // position 4080 (0xFF0), 3 bytes
    body.push_back(0xF0);
    VectorSink sink;
    ASSERT_EQ(szdd::ExpandStream(body, sink).status, szdd::Status::Ok);
    std::string out(sink.bytes.begin(), sink.bytes.end());
    ASSERT_EQ(out.size(), written.size() + 3);
    EXPECT_EQ(out.substr(written.size()), written.substr(4096, 3));
}

TEST(SzddStream, ReportsReadAndWriteFailures) {
    std::mt19937 rng(3);
    Bytes data = RandomBytes(rng, 3 << 20);
    Bytes packed = PackLiterals(data);
    Bytes body(packed.begin() + szdd::kHeaderSize, packed.end());

    FailingSink failing;
    auto result = szdd::ExpandStream(body, failing);
    EXPECT_EQ(result.status, szdd::Status::WriteError);
    EXPECT_EQ(result.written, 0u);

    // A read error ends the expansion: what was decoded so far is written, no more.
    ChunkedSource source(body, 1000, body.size() / 2);
    VectorSink sink;
    result = szdd::ExpandStream(source, sink);
    EXPECT_EQ(result.status, szdd::Status::ReadError);
    EXPECT_EQ(result.written, sink.bytes.size());
    EXPECT_GT(sink.bytes.size(), data.size() / 3);
    EXPECT_LT(sink.bytes.size(), data.size());
    EXPECT_TRUE(std::equal(sink.bytes.begin(), sink.bytes.end(), data.begin()));

    // Reads in small pieces decode the same as one large read, across output flushes.
    ChunkedSource whole(body, 4099);
    sink.bytes.clear();
    result = szdd::ExpandStream(whole, sink);
    EXPECT_EQ(result.status, szdd::Status::Ok);
    EXPECT_GT(sink.writes, 1);
    EXPECT_TRUE(sink.bytes == data);
}

// ---- libmspack as the reference decoder, over memory "files" ----

struct MemFile {
    const Bytes* in = nullptr;
    Bytes* out = nullptr;
    size_t pos = 0;
};

struct MemSystem {
    mspack_system sys{};
    const Bytes* input = nullptr;
    Bytes* output = nullptr;
};

mspack_file* MemOpen(mspack_system* self, const char* name, int mode) {
    auto* ms = reinterpret_cast<MemSystem*>(self);
    auto* f = new MemFile;
    if (mode == MSPACK_SYS_OPEN_READ && std::strcmp(name, "in") == 0) {
        f->in = ms->input;
    } else if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(name, "out") == 0) {
        f->out = ms->output;
        f->out->clear();
    } else {
        delete f;
        return nullptr;
    }
    return reinterpret_cast<mspack_file*>(f);
}

void MemClose(mspack_file* file) {
    delete reinterpret_cast<MemFile*>(file);
}

int MemRead(mspack_file* file, void* buffer, int bytes) {
    auto* f = reinterpret_cast<MemFile*>(file);
    if (!f->in || bytes < 0)
        return -1;
    size_t n = std::min(static_cast<size_t>(bytes), f->in->size() - f->pos);
    std::memcpy(buffer, f->in->data() + f->pos, n);
    f->pos += n;
    return static_cast<int>(n);
}

int MemWrite(mspack_file* file, void* buffer, int bytes) {
    auto* f = reinterpret_cast<MemFile*>(file);
    if (!f->out || bytes < 0)
        return -1;
    auto* p = static_cast<const std::uint8_t*>(buffer);
    f->out->insert(f->out->end(), p, p + bytes);
    return bytes;
}

int MemSeek(mspack_file* file, off_t offset, int mode) {
    auto* f = reinterpret_cast<MemFile*>(file);
    off_t size = f->in ? static_cast<off_t>(f->in->size()) : static_cast<off_t>(f->out->size());
    off_t base = mode == MSPACK_SYS_SEEK_START ? 0
                 : mode == MSPACK_SYS_SEEK_CUR ? static_cast<off_t>(f->pos)
                                               : size;
    if (base + offset < 0 || base + offset > size)
        return -1;
    f->pos = static_cast<size_t>(base + offset);
    return 0;
}

off_t MemTell(mspack_file* file) {
    return static_cast<off_t>(reinterpret_cast<MemFile*>(file)->pos);
}

void MemMessage(mspack_file*, const char*, ...) {}

void* MemAlloc(mspack_system*, size_t bytes) {
    return std::malloc(bytes);
}

void MemFree(void* p) {
    std::free(p);
}

void MemCopy(void* src, void* dst, size_t bytes) {
    std::memcpy(dst, src, bytes);
}

class Reference {
public:
    Reference() {
        mem_.sys = {MemOpen,    MemClose, MemRead, MemWrite, MemSeek, MemTell,
                    MemMessage, MemAlloc, MemFree, MemCopy,  nullptr};
        decoder_ = mspack_create_szdd_decompressor(&mem_.sys);
    }
    ~Reference() { mspack_destroy_szdd_decompressor(decoder_); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;
    bool ok() const { return decoder_ != nullptr; }

    // libmspack's expansion of a whole SZDD file, or its error code.
    int Decompress(const Bytes& file, Bytes& out) {
        mem_.input = &file;
        mem_.output = &out;
        return decoder_->decompress(decoder_, "in", "out");
    }

private:
    MemSystem mem_;
    msszdd_decompressor* decoder_ = nullptr;
};

class SzddDifferential : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(reference_.ok()); }

    // Both decoders on one file; reports the first few disagreements only.
    void Check(const Bytes& file, const std::string& what) {
        ++checked_;
        Bytes theirs;
        int rc = reference_.Decompress(file, theirs);
        if (rc != MSPACK_ERR_OK) {
            ADD_FAILURE() << what << ": libmspack error " << rc;
            return;
        }
        Bytes ours = Expand(file);
        if (ours != theirs && ++failures_ <= 5) {
            auto diff = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
            ADD_FAILURE() << what << ": ours " << ours.size() << " bytes, libmspack "
                          << theirs.size() << ", first difference at "
                          << (diff.first - ours.begin());
        }
    }

    static Bytes WithHeader(const Bytes& body, std::uint32_t length) {
        Bytes file = ToBytes(std::string("SZDD\x88\xF0\x27\x33\x41", 9));
        file.push_back('_');
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
        file.insert(file.end(), body.begin(), body.end());
        return file;
    }

    Reference reference_;
    int checked_ = 0;
    int failures_ = 0;
};

TEST_F(SzddDifferential, RandomBodies) {
    std::mt19937 rng(4711);
    for (int i = 0; i < 1500; ++i) {
        size_t size = i < 200 ? static_cast<size_t>(i) : rng() % (i % 10 == 0 ? 60000 : 3000);
        Bytes body = RandomBytes(rng, size);
        // Skew some flag bytes so long runs of references and of literals both occur.
        if (i % 3 != 0) {
            std::uint8_t flags = i % 3 == 1 ? 0x00 : 0xFF;
            for (size_t k = 0; k < body.size(); k += 9 + rng() % 9)
                body[k] = static_cast<std::uint8_t>(flags ^ (1u << (rng() % 8)));
        }
        // The recorded length is ignored by both.
        Check(WithHeader(body, static_cast<std::uint32_t>(rng())),
              "random body " + std::to_string(i));
    }
    EXPECT_EQ(failures_, 0) << "of " << checked_;
}

TEST_F(SzddDifferential, TruncatedAtEveryOffset) {
    TempDir dir;
    std::mt19937 rng(11);
    Bytes packed = MsCompress(dir, TextLike(rng, 6000));
    ASSERT_GT(packed.size(), 1000u);
    for (size_t cut = szdd::kHeaderSize; cut <= packed.size(); ++cut)
        Check(Bytes(packed.begin(), packed.begin() + static_cast<long>(cut)),
              "cut at " + std::to_string(cut));
    EXPECT_EQ(failures_, 0) << "of " << checked_;
}

TEST_F(SzddDifferential, MutatedMsCompressOutput) {
    TempDir dir;
    std::mt19937 rng(29);
    Bytes data = TextLike(rng, 30000);
    Bytes runs = Runs(rng, 10000);
    data.insert(data.end(), runs.begin(), runs.end());
    Bytes packed = MsCompress(dir, data);
    for (int i = 0; i < 600; ++i) {
        Bytes file = packed;
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && file.size() > szdd::kHeaderSize; ++e) {
            size_t at = szdd::kHeaderSize + rng() % (file.size() - szdd::kHeaderSize);
            switch (rng() % 3) {
            case 0:
                file[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                break;
            case 1:
                file[at] = static_cast<std::uint8_t>(rng());
                break;
            default:
                file.resize(std::min(file.size(), at));
                break;
            }
        }
        Check(file, "mutation " + std::to_string(i));
    }
    EXPECT_EQ(failures_, 0) << "of " << checked_;
}

} // namespace
