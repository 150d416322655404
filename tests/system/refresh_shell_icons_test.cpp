// RefreshShellIcons and the [RENAME] lines of WININIT.INI.
#include "platform/portable/machine.h"
#include "support/test_machine.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"
#include "system/wininit_rename.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing_support::ReadHostFile;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

namespace fs = std::filesystem;

const char* kMetrics = "Control Panel\\desktop\\WindowMetrics";

// Every line the merge does not add stays byte for byte: line ends, a missing last line
// end, bytes of any value, lines too long to be entries.
TEST(WininitRename, AddsTheSectionOrItsMissingLinesAndKeepsTheRest) {
    using wininit::WithRenameLines;
    using namespace std::string_literals;
    const std::vector<std::string> ab{"NUL=C:\\A", "NUL=C:\\B"};
    const std::string longLine(10000, 'x');
    struct Case {
        std::string text;
        std::vector<std::string> lines;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"", ab, "[RENAME]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n\r\n"},
        {"[CombineVxDs]\r\nX=Y", ab,
         "[CombineVxDs]\r\nX=Y\r\n[RENAME]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n\r\n"},
        {"[x]\nk=v\n", ab, "[x]\nk=v\n[RENAME]\r\nNUL=C:\\A\r\nNUL=C:\\B\r\n\r\n"},
        // Another program's entries stay, the section is found in any case, lines already
        // there (in any case, with blanks around) are not added again.
        {"[rename]\r\nC:\\NEU=C:\\ALT\r\nnul=c:\\b\r\n\r\n[Other]\r\nK=V\r\n", ab,
         "[rename]\r\nC:\\NEU=C:\\ALT\r\nnul=c:\\b\r\nNUL=C:\\A\r\n\r\n[Other]\r\nK=V\r\n"},
        {"[RENAME]\r\n  nul=c:\\A \t\r\nNul=C:\\b\r\n", ab,
         "[RENAME]\r\n  nul=c:\\A \t\r\nNul=C:\\b\r\n"},
        {"[RENAME]\n", {"NUL=C:\\A", "nul=c:\\a"}, "[RENAME]\nNUL=C:\\A\r\n"},
        // A line any of several sections holds is not added again; new lines go to the first.
        {"[Rename]\r\nX=Y\r\n[A]\r\n[RENAME]\r\nNUL=C:\\B\r\n", ab,
         "[Rename]\r\nX=Y\r\nNUL=C:\\A\r\n[A]\r\n[RENAME]\r\nNUL=C:\\B\r\n"},
        // Lone LFs, a section last without a line end, odd bytes and CRs, a long line.
        {"[a]\nk=v\n\n[rename]\nA=B\n\n", ab,
         "[a]\nk=v\n\n[rename]\nA=B\nNUL=C:\\A\r\nNUL=C:\\B\r\n\n"},
        {"[x]\r\nk=v\r\n[RENAME]\r\nnul=C:\\B", ab,
         "[x]\r\nk=v\r\n[RENAME]\r\nnul=C:\\B\r\nNUL=C:\\A\r\n"},
        {"[\xff]\r\n\x81\0\xe4=\r\r\n[RENAME]\r\n\x9d\r\n\r\n\r\n"s,
         {"NUL=C:\\A"},
         "[\xff]\r\n\x81\0\xe4=\r\r\n[RENAME]\r\n\x9d\r\nNUL=C:\\A\r\n\r\n\r\n"s},
        {"[RENAME]\r\n" + longLine + "\n[x]",
         {"NUL=C:\\A"},
         "[RENAME]\r\n" + longLine + "\nNUL=C:\\A\r\n[x]"},
        {"[RENAME]\r\n" + longLine, {"NUL=C:\\A"}, "[RENAME]\r\n" + longLine + "\r\nNUL=C:\\A\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        EXPECT_EQ(WithRenameLines(c.text, c.lines), c.expected);
    }
    std::string once = WithRenameLines("", ab);
    EXPECT_EQ(WithRenameLines(once, ab), once);
    // A new section takes the caller's header.
    EXPECT_EQ(WithRenameLines("", {"NUL=C:\\A"}, "[rename]"), "[rename]\r\nNUL=C:\\A\r\n\r\n");
}

// The process's virtual size (VmSize), in bytes.
size_t VirtualBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmSize:"))
            return std::stoul(line.substr(7)) * 1024;
    }
    return 0;
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

// WININIT.INI is streamed: a file far larger than the memory the process may still take
// gets its line.
TEST_F(RefreshShellIcons, AHugeWininitIsMergedInBoundedMemory) {
    constexpr size_t kFiller = 700000; // lines of 70 bytes: 49 MB
    fs::path path = machine_.DriveC() / "WINDOWS" / "WININIT.INI";
    {
        std::ofstream out(path, std::ios::binary);
        out << "[CombineVxDs]\r\n";
        const std::string filler = "C:\\WINDOWS\\SYSTEM\\" + std::string(48, 'x') + "=1\r\n";
        for (size_t i = 0; i < kFiller; ++i)
            out << filler;
        out << "[rename]\r\nNUL=C:\\ALT.TXT";
    }
    size_t before = fs::file_size(path);
    pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // 32 MB more than the child has: a 49 MB text read whole cannot fit.
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = VirtualBytes() + (32u << 20);
        ::setrlimit(RLIMIT_AS, &limit);
        try {
            wininit::AddRenameLines({"NUL=C:\\NEU.TXT", "nul=c:\\alt.txt"});
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(fs::file_size(path), before + std::string("\r\nNUL=C:\\NEU.TXT\r\n").size());
    std::ifstream in(path, std::ios::binary);
    in.seekg(-60, std::ios::end);
    std::string tail(60, '\0');
    in.read(tail.data(), 60);
    EXPECT_TRUE(tail.ends_with("[rename]\r\nNUL=C:\\ALT.TXT\r\nNUL=C:\\NEU.TXT\r\n")) << tail;
}

} // namespace
