#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(Codepage, RoundTripsEveryDefinedByte) {
    for (int b = 1; b < 256; ++b) {
        std::string ansi(1, static_cast<char>(b));
        SCOPED_TRACE(b);
        EXPECT_EQ(win::ToAnsi(win::FromAnsi(ansi)), ansi);
    }
}

TEST(Codepage, ProgramTextsAreRepresentable) {
    // The application title's typographic apostrophe is 0x92, ü is 0xFC.
    std::string title = "Konfiguration für Dovek’s Zepanu’s 1.0";
    EXPECT_TRUE(win::IsAnsiRepresentable(title));
    std::string ansi = win::ToAnsi(title);
    EXPECT_EQ(ansi, "Konfiguration f\xFCr Dovek\x92s Zepanu\x92s 1.0");
    EXPECT_EQ(win::FromAnsi(ansi), title);
}

TEST(Codepage, UnrepresentableAndMalformedBecomeQuestionMarks) {
    EXPECT_FALSE(win::IsAnsiRepresentable("日本"));
    EXPECT_EQ(win::ToAnsi("a日b"), "a?b");
    EXPECT_EQ(win::ToAnsi("a\xC3"), "a?");       // cut sequence
    EXPECT_EQ(win::ToAnsi("\xC0\xAF"), "?");     // overlong form of '/'
    EXPECT_EQ(win::ToAnsi("\xED\xA0\x80"), "?"); // surrogate
    EXPECT_EQ(win::ToAnsi("€"), "\x80");
}

TEST(Codepage, UpperCaseFollowsWindows) {
    EXPECT_EQ(win::AnsiUpper("kontextmen\xFC"
                             "ex"),
              "KONTEXTMEN\xDC"
              "EX");
    EXPECT_EQ(win::AnsiUpper("\xDF"), "\xDF"); // ß has no single upper case
    EXPECT_EQ(win::AnsiUpper("\xF7"), "\xF7"); // ÷ is no letter
    EXPECT_EQ(win::AnsiUpper("\x9A\x9C\x9E"), "\x8A\x8C\x8E");
    EXPECT_TRUE(win::AnsiEqualsNoCase("Startmen\xFC", "STARTMEN\xDC"));
    EXPECT_FALSE(win::AnsiEqualsNoCase("Startmenu", "STARTMEN\xDC"));
}

} // namespace
