// Little-endian fields appended to a byte string, as the Windows file formats store them.
#pragma once

#include <cstdint>
#include <string>

namespace make_dist {

inline void PutU8(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
}

inline void PutU16(std::string& out, unsigned value) {
    PutU8(out, value);
    PutU8(out, value >> 8);
}

inline void PutU32(std::string& out, std::uint32_t value) {
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

// Overwrites a field written earlier (a size or offset known only later).
inline void SetU32(std::string& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace make_dist
