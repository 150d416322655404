// The installation's record: what it keeps before and after a step, how the removal gives
// it back, and that a damaged record costs only its damaged strings.
#include "program/install_record.h"

#include "support/test_machine.h"

#include <gtest/gtest.h>

namespace {

using app::record::Entry;
using app::record::Record;
using app::record::Step;
using app::record::Target;
using WinRegistry::HKCR;
using WinRegistry::HKCU;
using WinRegistry::HKLM;
using WinRegistry::Stored;

Stored Sz(const std::string& ansi) {
    return {REG_SZ, ansi + '\0'};
}

std::optional<Stored> Now(const Target& t) {
    return WinRegistry::ReadStored(t.root, t.key, t.name);
}

class InstallRecord : public ::testing::Test {
protected:
    testing_support::TestMachine machine_;
    const std::optional<std::string> folder_ = std::string("C:\\PROGRA~1\\ZEPANU\\");
};

TEST_F(InstallRecord, KeepsTheFirstStateAndGivesItBackWhileUnchanged) {
    // Odd data survives: a binary value with NUL and tab bytes, a name with an umlaut.
    const Target odd{HKCR, "giffile", "Flägs\tx"};
    const Target verb{HKCR, "Neu\\shell\\open", ""};
    const Stored oddData{REG_BINARY, std::string("\0\t\xff", 3)};
    ASSERT_TRUE(WinRegistry::WriteStored(odd.root, odd.key, odd.name, oddData));
    app::record::Before(Step::DateiTypenSchreiben, {odd, verb});
    WinRegistry::WriteValue(HKCR, odd.key, odd.name, "erste");
    WinRegistry::WriteValue(HKCR, verb.key, "", "erste");
    app::record::After(Step::DateiTypenSchreiben, {odd, verb});
    // A second installation: the first state stays, the state left moves on.
    app::record::Before(Step::SysSymboleschreiben, {odd});
    WinRegistry::WriteValue(HKCR, odd.key, odd.name, "zweite");
    app::record::After(Step::SysSymboleschreiben, {odd});

    Record record = Record::Read();
    EXPECT_TRUE(record.Holds(HKCR, "GIFFILE", "FLÄGS\tX"));
    std::vector<Entry> changed = record.Changed([](const Target&) { return true; });
    ASSERT_EQ(changed.size(), 2u);
    for (const Entry& e : changed)
        app::record::GiveBack(e, folder_);
    EXPECT_EQ(Now(odd), oddData);
    EXPECT_FALSE(Now(verb));
    // Given back twice (a removal run again) changes nothing more.
    for (const Entry& e : changed)
        app::record::GiveBack(e, folder_);
    EXPECT_EQ(Now(odd), oddData);

    // The keys made for the verb go once empty, then the record and the keys made for it.
    ASSERT_TRUE(WinRegistry::KeyExists(HKCR, "Neu\\shell\\open"));
    record.Finish();
    EXPECT_FALSE(WinRegistry::KeyExists(HKCR, "Neu"));
    EXPECT_FALSE(WinRegistry::KeyExists(HKLM, "SOFTWARE\\Quorvel"));
    EXPECT_TRUE(WinRegistry::KeyExists(HKCR, "giffile"));
    EXPECT_TRUE(Record::Read().Empty());
}

TEST_F(InstallRecord, WhatTheUserChangedOrAStepLeftUnfinishedIsGivenBackOnlyWhenItIsTheSuites) {
    const Target changedByUser{HKCU, "Control Panel\\desktop\\WindowMetrics", "Shell Icon BPP"};
    const Target unfinished{HKCR, "Folder\\DefaultIcon", ""};
    const Target elsewhere{HKCR, "Drive\\DefaultIcon", ""};
    WinRegistry::WriteValue(HKCU, changedByUser.key, changedByUser.name, "8");
    WinRegistry::WriteValue(HKCR, unfinished.key, "", "C:\\Icons\\mein.ico");
    WinRegistry::WriteValue(HKCR, elsewhere.key, "", "C:\\Icons\\Laufwerk.ico");
    app::record::Before(Step::SysSymboleschreiben, {changedByUser, unfinished, elsewhere});
    WinRegistry::WriteValue(HKCU, changedByUser.key, changedByUser.name, "16");
    app::record::After(Step::SysSymboleschreiben, {changedByUser});
    WinRegistry::WriteValue(HKCU, changedByUser.key, changedByUser.name, "24");
    WinRegistry::WriteValue(HKCR, unfinished.key, "", *folder_ + "Icons\\FldCls7.ico,0");
    WinRegistry::WriteValue(HKCR, elsewhere.key, "", "C:\\Anderswo\\Laufwerk.ico");

    for (const Entry& e : Record::Read().Changed([](const Target&) { return true; }))
        app::record::GiveBack(e, folder_);
    EXPECT_EQ(Now(changedByUser), Sz("24"));
    EXPECT_EQ(Now(unfinished), Sz("C:\\Icons\\mein.ico"));
    EXPECT_EQ(Now(elsewhere), Sz("C:\\Anderswo\\Laufwerk.ico"));
}

// A step cut off in the middle: what it wrote is known from before its first write, so
// the removal takes back what it wrote, in keys it made or not, and what a later step
// wrote over an earlier one's value; a value someone else set since stays.
TEST_F(InstallRecord, AStepCutOffIsTakenBackByWhatItWasAboutToWrite) {
    const Target extension{HKCR, ".cab", "", {Sz("cabFile")}};
    const Target command{HKCR, "cabFile\\Shell\\open\\Command", "", {Sz("x.exe %1")}};
    const Target passing{HKCR, "cabFile\\Shell", "", {Sz(""), Sz("open")}};
    const Target depth{
        HKCU, "Control Panel\\desktop\\WindowMetrics", "Shell Icon BPP", {app::record::Text("16")}};
    const Target icon{HKCR, "dllfile\\DefaultIcon", ""};
    const Target others{HKCR, "Drive\\DefaultIcon", "", {Sz("C:\\Z\\d.ico")}};
    WinRegistry::WriteValue(HKCR, icon.key, "", "C:\\WINDOWS\\SYSTEM\\shell32.dll,65");
    WinRegistry::WriteValue(HKCR, others.key, "", "C:\\Alt.ico");
    app::record::Before(Step::DateiTypenSchreiben, {icon});
    WinRegistry::WriteValue(HKCR, icon.key, "", "C:\\Z\\a.icl,1");
    app::record::After(Step::DateiTypenSchreiben, {icon});
    // Cut off: the file type half written, the icons' step over the earlier value.
    app::record::Before(Step::DateiTypenSchreiben, {extension, command, passing});
    WinRegistry::WriteValue(HKCR, extension.key, "", "cabFile");
    WinRegistry::WriteValue(HKCR, passing.key, "", ""); // the first of its two states
    Target iconNow = icon;
    iconNow.writes = {Sz("C:\\Z\\b.ico")};
    app::record::Before(Step::SysSymboleschreiben, {depth, iconNow, others});
    WinRegistry::WriteValue(HKCU, depth.key, depth.name, "16");
    WinRegistry::WriteValue(HKCR, icon.key, "", "C:\\Z\\b.ico");
    WinRegistry::WriteValue(HKCR, others.key, "", "C:\\Neu.ico"); // the user's, since

    Record record = Record::Read();
    record.DeleteUntouchedKeys();
    for (const Entry& e : record.Changed([](const Target&) { return true; }))
        app::record::GiveBack(e, std::nullopt);
    record.Finish();
    EXPECT_FALSE(WinRegistry::KeyExists(HKCR, ".cab"));
    EXPECT_FALSE(WinRegistry::KeyExists(HKCR, "cabFile"));
    EXPECT_FALSE(Now(depth));
    EXPECT_EQ(Now(icon), Sz("C:\\WINDOWS\\SYSTEM\\shell32.dll,65"));
    EXPECT_EQ(Now(others), Sz("C:\\Neu.ico"));
}

// An installation cut off after making the record's key, before writing to it: the next
// one counts that key, and the empty keys above it, as its own.
TEST_F(InstallRecord, AnEmptyRecordKeyLeftByARunCutOffIsTheInstallations) {
    WinRegistry::CreateKey(HKLM, app::record::kRecordKey);
    const Target accepted{HKCU, "Software\\Quorvel\\Zepanu\\3.0", "Lizenz"};
    app::record::Before(Step::Lizenz, {accepted});
    Record::Read().Finish();
    EXPECT_FALSE(WinRegistry::KeyExists(HKLM, "SOFTWARE\\Quorvel"));
    // A key that holds more than the record's path is someone else's.
    WinRegistry::CreateKey(HKLM, app::record::kRecordKey);
    WinRegistry::WriteValue(HKLM, "SOFTWARE\\Quorvel", "Eigen", "ja");
    app::record::Before(Step::Lizenz, {accepted});
    Record::Read().Finish();
    EXPECT_FALSE(WinRegistry::KeyExists(HKLM, app::record::kRecordKey));
    EXPECT_TRUE(WinRegistry::KeyExists(HKLM, "SOFTWARE\\Quorvel"));
}

TEST_F(InstallRecord, AKeyItMadeGoesWholeUnlessSomeoneAddedToIt) {
    const Target mine{HKCR, "Neu\\shell\\open\\command", ""};
    const Target theirs{HKCR, "Auch\\shell\\open\\command", ""};
    app::record::Before(Step::KnotextExVerscheidenes, {mine, theirs});
    WinRegistry::WriteValue(HKCR, mine.key, "", "x");
    WinRegistry::WriteValue(HKCR, theirs.key, "", "x");
    app::record::After(Step::KnotextExVerscheidenes, {mine, theirs});
    WinRegistry::WriteValue(HKCR, "Auch\\shell", "", "open"); // added since

    Record record = Record::Read();
    record.DeleteUntouchedKeys();
    EXPECT_FALSE(WinRegistry::KeyExists(HKCR, "Neu"));
    ASSERT_TRUE(Now(theirs));
    for (const Entry& e : record.Changed([](const Target&) { return true; }))
        app::record::GiveBack(e, folder_);
    record.Finish();
    EXPECT_EQ(WinRegistry::ReadStored(HKCR, "Auch\\shell", ""), Sz("open"));
    EXPECT_FALSE(WinRegistry::KeyExists(HKCR, "Auch\\shell\\open"));
}

TEST_F(InstallRecord, DamagedStringsArePassedOver) {
    const Target good{HKCR, "Unknown\\Shell", ""};
    app::record::Before(Step::KnotextExVerscheidenes, {good});
    std::optional<Stored> stored =
        WinRegistry::ReadStored(HKLM, app::record::kRecordKey, "KnotextExVerscheidenes");
    ASSERT_TRUE(stored);
    std::string damaged;
    for (const char* bad : {"V\t1:zz\t?\tHKCR\tA\t", "X\tnonsense", "V\t-\t?\tHKXX\tB\t",
                            "K\tHKCR\t", "V\t-\t?\tHKCR\t\tname"})
        damaged += std::string(bad) + '\0';
    damaged += stored->bytes;
    ASSERT_TRUE(WinRegistry::WriteStored(HKLM, app::record::kRecordKey, "KnotextExVerscheidenes",
                                         {REG_MULTI_SZ, damaged}));
    Record record = Record::Read();
    EXPECT_TRUE(record.Holds(HKCR, "Unknown\\Shell", ""));
    EXPECT_EQ(record.Changed([](const Target&) { return true; }).size(), 1u);
    // A record of another type is no record.
    ASSERT_TRUE(WinRegistry::WriteStored(HKLM, app::record::kRecordKey, "KnotextExVerscheidenes",
                                         {REG_SZ, std::string("V\t-\t-\tHKCR\tA\t", 13) + '\0'}));
    EXPECT_FALSE(Record::Read().Holds(HKCR, "Unknown\\Shell", ""));
}

} // namespace
