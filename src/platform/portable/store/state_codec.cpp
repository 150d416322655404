#include "platform/portable/store/state_codec.h"

#include <cstring>

namespace portable {
namespace {

// "ZEPSTATE", then the format's version; numbers are little-endian.
constexpr std::string_view kMagic = "ZEPSTATE";
constexpr std::uint32_t kVersion = 1;

class Writer {
public:
    void Bytes(const void* data, size_t size) { out_.append(static_cast<const char*>(data), size); }
    void U8(std::uint8_t n) { out_ += static_cast<char>(n); }
    void U32(std::uint32_t n) {
        char bytes[4];
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>(n >> (8 * i));
        out_.append(bytes, 4);
    }
    void U64(std::uint64_t n) {
        U32(static_cast<std::uint32_t>(n));
        U32(static_cast<std::uint32_t>(n >> 32));
    }
    void Reserve(size_t size) { out_.reserve(size); }
    void Text(std::string_view s) {
        U32(static_cast<std::uint32_t>(s.size()));
        out_ += s;
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}

    void Expect(std::string_view bytes) {
        if (in_.substr(at_, bytes.size()) != bytes)
            Fail("not a machine state");
        at_ += bytes.size();
    }
    std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)[0]); }
    std::uint32_t U32() {
        std::string_view b = Take(4);
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = n << 8 | static_cast<unsigned char>(b[static_cast<size_t>(i)]);
        return n;
    }
    std::uint64_t U64() {
        std::uint64_t low = U32();
        return static_cast<std::uint64_t>(U32()) << 32 | low;
    }
    std::string Text() {
        std::uint32_t size = U32();
        return std::string(Take(size));
    }
    // A count of records at least minSize bytes each: never more than the rest can hold,
    // so a damaged count cannot make the reader reserve memory it will not fill.
    size_t Count(size_t minSize) {
        std::uint32_t n = U32();
        if (n > (in_.size() - at_) / minSize)
            Fail("count " + std::to_string(n) + " beyond the end");
        return n;
    }
    void Bytes(void* out, size_t size) { std::memcpy(out, Take(size).data(), size); }
    void End() {
        if (at_ != in_.size())
            Fail(std::to_string(in_.size() - at_) + " bytes after the end");
    }
    [[noreturn]] void Fail(const std::string& what) const {
        throw DamagedState(what + " at byte " + std::to_string(at_));
    }

private:
    std::string_view Take(size_t size) {
        if (size > in_.size() - at_)
            Fail("cut short");
        std::string_view part = in_.substr(at_, size);
        at_ += size;
        return part;
    }

    std::string_view in_;
    size_t at_ = 0;
};

// The encoded size, give or take: reserved up front so the text is not copied as it grows.
size_t EncodedSize(const MachineState& state) {
    size_t size = 64;
    for (const auto& f : state.files)
        size += f.path.size() + 53;
    for (const auto& k : state.keys)
        size += k.path.size() + 4;
    for (const auto& v : state.values)
        size += v.key.size() + v.name.size() + v.data.size() + 16;
    for (const auto& l : state.iniLines)
        size += l.file.size() + l.section.size() + l.line.size() + 16;
    return size;
}

} // namespace

std::string EncodeState(const MachineState& state) {
    Writer w;
    w.Reserve(EncodedSize(state));
    w.Bytes(kMagic.data(), kMagic.size());
    w.U32(kVersion);
    w.U32(static_cast<std::uint32_t>(state.files.size()));
    for (const auto& f : state.files) {
        w.Text(f.path);
        w.U8(f.folder ? 1 : 0);
        w.U64(f.size);
        w.U32(f.attributes);
        if (!f.folder)
            w.Bytes(f.sha256.data(), f.sha256.size());
    }
    w.U32(static_cast<std::uint32_t>(state.keys.size()));
    for (const auto& k : state.keys)
        w.Text(k.path);
    w.U32(static_cast<std::uint32_t>(state.values.size()));
    for (const auto& v : state.values) {
        w.Text(v.key);
        w.Text(v.name);
        w.U32(v.type);
        w.Text(v.data);
    }
    w.U32(static_cast<std::uint32_t>(state.iniLines.size()));
    for (const auto& l : state.iniLines) {
        w.Text(l.file);
        w.Text(l.section);
        w.Text(l.line);
        w.U32(l.index);
    }
    return w.Take();
}

MachineState DecodeState(std::string_view bytes) {
    Reader r(bytes);
    r.Expect(kMagic);
    if (std::uint32_t version = r.U32(); version != kVersion)
        r.Fail("unknown format version " + std::to_string(version));
    MachineState state;
    state.files.resize(r.Count(17));
    for (auto& f : state.files) {
        f.path = r.Text();
        std::uint8_t folder = r.U8();
        if (folder > 1)
            r.Fail("bad folder flag");
        f.folder = folder == 1;
        f.size = r.U64();
        f.attributes = r.U32();
        if (!f.folder)
            r.Bytes(f.sha256.data(), f.sha256.size());
    }
    state.keys.resize(r.Count(4));
    for (auto& k : state.keys)
        k.path = r.Text();
    state.values.resize(r.Count(16));
    for (auto& v : state.values) {
        v.key = r.Text();
        v.name = r.Text();
        v.type = r.U32();
        v.data = r.Text();
    }
    state.iniLines.resize(r.Count(16));
    for (auto& l : state.iniLines) {
        l.file = r.Text();
        l.section = r.Text();
        l.line = r.Text();
        l.index = r.U32();
    }
    r.End();
    return state;
}

} // namespace portable
