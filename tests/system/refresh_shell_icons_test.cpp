// RefreshShellIcons and the [RENAME] lines of WININIT.INI.
#include "platform/portable/machine.h"
#include "support/test_machine.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"
#include "system/wininit_rename.h"

#include <gtest/gtest.h>

namespace {

using testing_support::ReadHostFile;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

const char* kMetrics = "Control Panel\\desktop\\WindowMetrics";

TEST(WininitRename, AddsTheSectionOrItsMissingLinesAndKeepsTheRest) {
    using wininit::WithRenameLines;
    std::vector<std::string> lines{"NUL=C:\\A", "NUL=C:\\B"};
    EXPECT_EQ(WithRenameLines("", lines), "[RENAME]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n\r\n");
    EXPECT_EQ(WithRenameLines("[CombineVxDs]\r\nX=Y", lines),
              "[CombineVxDs]\r\nX=Y\r\n[RENAME]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n\r\n");
    // Another program's entries stay, the section is found in any case, lines already
    // there (in any case) are not added again.
    EXPECT_EQ(WithRenameLines("[rename]\r\nC:\\NEU=C:\\ALT\r\nnul=c:\\b\r\n\r\n[Other]\r\nK=V\r\n",
                              lines),
              "[rename]\r\nC:\\NEU=C:\\ALT\r\nnul=c:\\b\r\nNUL=C:\\A\r\n\r\n[Other]\r\nK=V\r\n");
    std::string once = WithRenameLines("", lines);
    EXPECT_EQ(WithRenameLines(once, lines), once);
    EXPECT_EQ(WithRenameLines("[RENAME]\n", {"NUL=C:\\A", "nul=c:\\a"}),
              "[RENAME]\r\nNUL=C:\\A\r\n");
    // A line any of several sections holds is not added again; new lines go to the first.
    EXPECT_EQ(WithRenameLines("[Rename]\r\nX=Y\r\n[A]\r\n[RENAME]\r\nNUL=C:\\B\r\n", lines),
              "[Rename]\r\nX=Y\r\nNUL=C:\\A\r\n[A]\r\n[RENAME]\r\nNUL=C:\\B\r\n");
    // A new section takes the caller's header.
    EXPECT_EQ(WithRenameLines("", {"NUL=C:\\A"}, "[rename]"), "[rename]\r\nNUL=C:\\A\r\n\r\n");
}

class RefreshShellIcons : public ::testing::Test {
protected:
    std::string Wininit() const {
        return ReadHostFile(machine_.DriveC() / "WINDOWS" / "WININIT.INI");
    }
    TestMachine machine_;
};

// The size found is the user's (48: large icons); the refresh passes through another one
// and leaves exactly what it found, a missing value missing.
TEST_F(RefreshShellIcons, TheIconSizeEndsAsItWasAfterTwoBroadcasts) {
    using WinRegistry::HKCU;
    const std::vector<std::pair<std::optional<WinRegistry::Stored>, std::string>> rows = {
        {WinRegistry::Stored{REG_SZ, std::string("48", 3)}, "10"},
        {WinRegistry::Stored{REG_SZ, std::string("10", 3)}, "32"},
        {WinRegistry::Stored{REG_EXPAND_SZ, std::string("16", 3)}, "10"},
        {std::nullopt, "10"},
    };
    for (const auto& [found, between] : rows) {
        SCOPED_TRACE(between + (found ? " after " + found->bytes : " after nothing"));
        WinRegistry::DeleteValue(HKCU, kMetrics, "Shell Icon Size");
        if (found) {
            ASSERT_TRUE(WinRegistry::WriteStored(HKCU, kMetrics, "Shell Icon Size", *found));
        }
        auto start = machine_.machine().ReadJournal().back().id;
        Setup_API::RefreshShellIcons();
        EXPECT_EQ(WinRegistry::ReadStored(HKCU, kMetrics, "Shell Icon Size"), found);
        std::vector<std::string> seen;
        for (const auto& e : machine_.machine().ReadJournal(start)) {
            if (e.text.starts_with("broadcast ") ||
                e.text.find("Shell Icon Size") != std::string::npos)
                seen.push_back(e.text.starts_with("broadcast ") ? e.text : "size");
        }
        const std::string broadcast =
            "broadcast WM_WININICHANGE 46 \"Control Panel\\Desktop\\WindowMetrics\"";
        EXPECT_EQ(seen, (std::vector<std::string>{"size", broadcast, "size", broadcast}));
    }
    EXPECT_EQ(Wininit(), "[RENAME]\r\nNUL=C:\\WINDOWS\\SHELLI~1\r\n"
                         "NUL=C:\\~SETUP.T\\zepsetup.exe\r\n\r\n");
}

// A run cut off while the passing size was in place kept the size it found: the next run
// gives that back, not the passing one, and forgets it.
TEST_F(RefreshShellIcons, ARunCutOffInTheSwitchIsFinishedWithTheSizeFound) {
    using WinRegistry::HKCU;
    const WinRegistry::Stored passing{REG_SZ, std::string("10", 3)};
    const WinRegistry::Stored users{REG_SZ, std::string("32", 3)};
    const std::vector<std::pair<WinRegistry::Stored, std::optional<WinRegistry::Stored>>> rows = {
        {{REG_BINARY, std::string("\x01\0\0\0"
                                  "32\0",
                                  7)},
         users},
        {{REG_BINARY, ""}, std::nullopt},
    };
    for (const auto& [kept, size] : rows) {
        ASSERT_TRUE(WinRegistry::WriteStored(HKCU, kMetrics, "Shell Icon Size", passing));
        ASSERT_TRUE(WinRegistry::WriteStored(HKCU, kMetrics, "Zepsetup Icon Size Found", kept));
        Setup_API::ReloadShellIcons();
        EXPECT_EQ(WinRegistry::ReadStored(HKCU, kMetrics, "Shell Icon Size"), size);
        EXPECT_FALSE(WinRegistry::ReadStored(HKCU, kMetrics, "Zepsetup Icon Size Found"));
    }
}

TEST_F(RefreshShellIcons, TwiceLeavesEachLineOnceAndKeepsOtherEntries) {
    WriteHostFile(machine_.DriveC() / "WINDOWS" / "WININIT.INI",
                  "[Rename]\r\nC:\\WINDOWS\\NEU.DLL=C:\\WINDOWS\\TEMP\\NEU.DLL\r\n");
    Setup_API::RefreshShellIcons();
    Setup_API::RefreshShellIcons();
    EXPECT_EQ(Wininit(), "[Rename]\r\nC:\\WINDOWS\\NEU.DLL=C:\\WINDOWS\\TEMP\\NEU.DLL\r\n"
                         "NUL=C:\\WINDOWS\\SHELLI~1\r\nNUL=C:\\~SETUP.T\\zepsetup.exe\r\n");
    EXPECT_FALSE(std::filesystem::exists(machine_.DriveC() / "WINDOWS" / "WININIT.$$$"));
}

TEST_F(RefreshShellIcons, TheCacheLineFollowsTheWindowsFolder) {
    machine_.machine().SetSetting("windows_dir", "C:\\WIN95");
    std::filesystem::create_directories(machine_.DriveC() / "WIN95");
    Setup_API::RefreshShellIcons();
    EXPECT_EQ(ReadHostFile(machine_.DriveC() / "WIN95" / "WININIT.INI"),
              "[RENAME]\r\nNUL=C:\\WIN95\\SHELLI~1\r\nNUL=C:\\~SETUP.T\\zepsetup.exe\r\n\r\n");
}

TEST_F(RefreshShellIcons, AnUnwritableWininitIsPassedOverSilently) {
    machine_.machine().SetSetting("windows_dir", "C:\\FEHLT");
    Setup_API::RefreshShellIcons(); // no error leaves it
    EXPECT_EQ(WinRegistry::ReadUserValue(kMetrics, "Shell Icon Size").ToString(), "32");
}

} // namespace
