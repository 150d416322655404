// SHA-256 (FIPS 180-4), for the content hashes of machine snapshots. The rounds use the
// processor's SHA instructions where it has them (several times faster: a snapshot hashes
// every file of the machine), portable code otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace portable {

class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    void Update(const void* data, size_t size);
    void Update(std::string_view data) { Update(data.data(), data.size()); }
    // The digest of everything given; the object starts afresh afterwards.
    Digest Finish();

    static Digest Of(std::string_view data);

    // Whether the processor's SHA instructions are used (x86-64 with SHA and SSE4.1);
    // tests turn them off to check the portable rounds too. Returns the previous setting.
    static bool Accelerated();
    static bool UseAcceleration(bool on);

private:
    void Blocks(const std::uint8_t* data, size_t count);
    void Reset();

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_;
    size_t buffered_ = 0;
    std::uint64_t length_ = 0; // bytes
};

// Lower-case hexadecimal, two digits per byte.
std::string HexText(const void* data, size_t size);
inline std::string HexText(const Sha256::Digest& digest) {
    return HexText(digest.data(), digest.size());
}

} // namespace portable
