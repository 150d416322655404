// The stand-ins' only source of variety: a fixed generator seeded from each file's name,
// so every build writes the same bytes and one file's contents do not depend on another's.
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

namespace make_dist {

class Random {
public:
    // FNV-1a of the name, mixed with a fixed seed.
    explicit Random(std::string_view name) {
        std::uint64_t hash = 0xCBF29CE484222325ull;
        for (unsigned char c : name)
            hash = (hash ^ c) * 0x100000001B3ull;
        state_ = hash ^ 0x5A17E5E7D1570000ull;
    }

    // splitmix64
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // A number in [0, n); n > 0. The slight bias of the modulo does not matter here.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Next() >> 56); }
    bool Percent(std::uint32_t chance) { return Below(100) < chance; }

    template <typename List> const auto& Pick(const List& list) {
        return list[Below(static_cast<std::uint32_t>(std::size(list)))];
    }

private:
    std::uint64_t state_;
};

} // namespace make_dist
