#include "platform/quoted_input.h"

#include <cstdio>

namespace win {
namespace {

void Escape(unsigned value, std::string& out) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", value);
    out += text;
}

} // namespace

size_t Utf8SequenceLength(std::string_view s) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char lead = byte(0);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || length > s.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
        (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))
        return 0;
    return length;
}

std::string QuotedInput(std::string_view utf8, size_t limit) {
    std::string out;
    size_t characters = 0;
    while (!utf8.empty()) {
        if (limit != 0 && characters == limit)
            return out + "...";
        ++characters;
        auto lead = static_cast<unsigned char>(utf8[0]);
        size_t length = Utf8SequenceLength(utf8);
        if (length == 0 || lead < 0x20 || lead == 0x7F) {
            Escape(lead, out);
            utf8.remove_prefix(1);
            continue;
        }
        auto second = length == 2 ? static_cast<unsigned char>(utf8[1]) : 0;
        if (lead == 0xC2 && second < 0xA0)
            Escape(second, out); // U+0080..U+009F: C1 controls (0x9B starts a CSI)
        else
            out.append(utf8.substr(0, length));
        utf8.remove_prefix(length);
    }
    return out;
}

} // namespace win
