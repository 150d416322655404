// SZDD of bytes made of literals only: the 14-byte header (algorithm 'A', the expanded
// length), then per eight bytes a flag byte with a set bit per literal and the bytes.
// What the COMPRESS utility makes of data it cannot shorten.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

inline std::string PackLiterally(const std::string& text) {
    std::string packed("SZDD\x88\xF0\x27\x33"
                       "A"
                       "t",
                       10);
    auto length = static_cast<std::uint32_t>(text.size());
    for (int i = 0; i < 4; ++i)
        packed.push_back(static_cast<char>(length >> (8 * i)));
    for (size_t at = 0; at < text.size(); at += 8) {
        std::string group = text.substr(at, 8);
        packed.push_back(static_cast<char>(0xFF >> (8 - group.size())));
        packed += group;
    }
    return packed;
}

} // namespace testing_support
