#include "platform/portable/files/short_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct Row {
    const char* longName;
    const char* alias;
};

std::string Alias(std::string_view name, const std::set<std::string>& taken = {}) {
    return portable::MakeShortName(
        name, [&](std::string_view c) { return taken.count(std::string(c)) > 0; });
}

TEST(ShortName, Windows95Aliases) {
    const Row rows[] = {
        {"WINDOWS", "WINDOWS"},
        {"Desktop", "DESKTOP"}, // fits: only the case changes, no tail
        {"Readme.txt", "README.TXT"},
        {"Programme", "PROGRA~1"},       // nine letters
        {"Startmen\xFC", "STARTM~1"},    // nine letters, ü kept in the base
        {"Zubeh\xF6r", "ZUBEH\xD6R"},    // ö exists in the OEM set
        {"My File.txt", "MYFILE~1.TXT"}, // blank dropped: lossy
        {".profile", "PROFIL~1"},        // leading dot dropped
        {"a.b.c", "AB~1.C"},             // only the last dot stays
        {"archive.tar.gz", "ARCHIV~1.GZ"},
        {"file.html", "FILE~1.HTM"},  // extension cut
        {"a+b,c;d=e[f]", "A_B_C_~1"}, // replaced characters
        {"Dovek\x92s", "DOVEK_~1"},   // ’ is not in the OEM set: replaced, so a tail
        {"ShellIconCache", "SHELLI~1"},
        {"x", "X"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.longName);
        EXPECT_EQ(Alias(row.longName), row.alias);
    }
}

TEST(ShortName, CollisionsCountUp) {
    std::set<std::string> taken = {"PROGRA~1", "PROGRA~2"};
    EXPECT_EQ(Alias("Programme Extra", taken), "PROGRA~3");
    taken = {"README.TXT"};
    EXPECT_EQ(Alias("readme.txt", taken), "README~1.TXT"); // fits but is taken
    for (int i = 1; i <= 9; ++i)
        taken.insert("LONGNA~" + std::to_string(i));
    EXPECT_EQ(Alias("LongName", {}), "LONGNAME");
    EXPECT_EQ(Alias("LongNameX", taken), "LONGN~10"); // two-digit tails shorten the base
}

TEST(ShortName, ValidityOfLongNames) {
    EXPECT_TRUE(portable::IsValidLongName("Startmen\xFC"));
    EXPECT_TRUE(portable::IsValidLongName("a b.c d"));
    for (const char* bad : {"",      ".",   "..",      "...",  " ",    "a\\b",     "a/b",
                            "a:b",   "a*",  "a?",      "a\"b", "a<b",  "a>b",      "a|b",
                            "a\x01", "CON", "con.txt", "Nul",  "LPT1", "com9.log", "CLOCK$"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(portable::IsValidLongName(bad));
    }
    EXPECT_TRUE(portable::IsValidLongName("COM10"));
    EXPECT_TRUE(portable::IsValidLongName("CONSOLE"));
    EXPECT_FALSE(portable::IsValidLongName(std::string(256, 'a')));
    EXPECT_TRUE(portable::IsValidLongName(std::string(255, 'a')));
}

} // namespace
