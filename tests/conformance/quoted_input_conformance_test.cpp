#include "platform/quoted_input.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(QuotedInput, EscapesEverythingATerminalWouldActOn) {
    struct Row {
        std::string input, expected;
    };
    const Row rows[] = {
        {"C:\\WINDOWS\\x.reg", "C:\\WINDOWS\\x.reg"},
        {"Grüße € ok", "Grüße € ok"},           // UTF-8 passes
        {"a\x1b[31mrot", "a\\x1B[31mrot"},      // ESC
        {"vor\0nach"s, "vor\\x00nach"},         // NUL cuts nothing short
        {"\r\n\t\x7f", "\\x0D\\x0A\\x09\\x7F"}, // C0 and DEL
        {"\xC2\x9B"
         "2J",
         "\\x9B2J"},                         // C1 CSI as UTF-8
        {"\xC2\x85", "\\x85"},               // C1 NEL
        {"\xC2\xA0", "\xC2\xA0"},            // no-break space is text
        {"bad\xff\xfe", "bad\\xFF\\xFE"},    // not UTF-8
        {"\xC0\x80", "\\xC0\\x80"},          // overlong NUL
        {"\xE2\x82", "\\xE2\\x82"},          // cut sequence
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"}, // surrogate
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(win::QuotedInput(row.input, 0), row.expected);
    }
}

TEST(QuotedInput, CutsAfterTheLimitInCharacters) {
    EXPECT_EQ(win::QuotedInput(std::string(60, 'x')), std::string(60, 'x'));
    EXPECT_EQ(win::QuotedInput(std::string(61, 'x')), std::string(60, 'x') + "...");
    std::string umlauts;
    for (int i = 0; i < 10; ++i)
        umlauts += "ü";
    EXPECT_EQ(win::QuotedInput(umlauts, 4), "üüüü...");
    EXPECT_EQ(win::QuotedInput("\x1b\x1b\x1b", 2), "\\x1B\\x1B...");
    EXPECT_EQ(win::QuotedInput(std::string(100000, 'y'), 0).size(), 100000u);
}

} // namespace
