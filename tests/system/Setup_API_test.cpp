#include "system/Setup_API.h"

#include "forms/run_time_error.h"
#include "platform/kernel32.h"
#include "support/test_machine.h"
#include "system/run_failures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

TEST(SetupApiFolders, TrailingBackslashRules) {
    TestMachine m;
    Setup_API::SysDir.clear();
    Setup_API::GetSystemDir();
    EXPECT_EQ(Setup_API::SysDir, "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(Setup_API::GetWindowsDir(), "C:\\WINDOWS");
    EXPECT_EQ(Setup_API::GetTempDir(), "C:\\WINDOWS\\TEMP\\");

    // Folders are settings of the machine; umlauts cross the ANSI boundary intact.
    m.machine().SetSetting("windows_dir", "D:\\WINDÖWS");
    m.machine().SetSetting("temp_dir", "C:\\TEMP"); // the platform adds the backslash
    EXPECT_EQ(Setup_API::GetWindowsDir(), "D:\\WINDÖWS");
    EXPECT_EQ(Setup_API::GetTempDir(), "C:\\TEMP\\");
}

TEST(SetupApiFolders, OverlongFoldersNeverOverrunTheFixedBuffers) {
    TestMachine m;
    // Longer than the 145 characters GetWindowsDir offers: the call fails, the result is
    // empty.
    m.machine().SetSetting("windows_dir", "C:\\" + std::string(200, 'W'));
    EXPECT_EQ(Setup_API::GetWindowsDir(), "");
    // A system folder that does not fit its 255 characters: the call answers the size it
    // needs and writes nothing, and SysDir is empty rather than the blanks of the buffer.
    for (size_t length : {253u, 254u, 255u, 300u}) {
        SCOPED_TRACE(length);
        std::string folder = "C:\\" + std::string(length - 3, 'S');
        m.machine().SetSetting("system_dir", folder);
        Setup_API::SysDir = "before";
        Setup_API::GetSystemDir();
        EXPECT_EQ(Setup_API::SysDir, length < 255 ? folder : "");
    }
    // Longer than 255: the temporary folder call writes nothing, which is a run-time error.
    m.machine().SetSetting("temp_dir", "C:\\" + std::string(300, 'T') + "\\");
    try {
        Setup_API::GetTempDir();
        FAIL() << "no run-time error";
    } catch (const forms::RunTimeError& e) {
        EXPECT_EQ(e.number(), 5);
    }
}

TEST(SetupApiPaths, AddBackslash) {
    EXPECT_EQ(Setup_API::AddBackslash("C:\\Programme\\Zepanu"), "C:\\Programme\\Zepanu\\");
    EXPECT_EQ(Setup_API::AddBackslash("C:\\"), "C:\\");
    EXPECT_EQ(Setup_API::AddBackslash("C:"), "C:\\");
    EXPECT_EQ(Setup_API::AddBackslash("C:\\a\\\\"), "C:\\a\\\\"); // only the last is looked at
    EXPECT_EQ(Setup_API::AddBackslash("Stärke"), "Stärke\\");
    try {
        Setup_API::AddBackslash("");
        FAIL() << "no run-time error";
    } catch (const forms::RunTimeError& e) {
        EXPECT_EQ(e.number(), 5);
    }
}

TEST(SetupApiPaths, GetShortPath) {
    TestMachine m;
    EXPECT_EQ(Setup_API::GetShortPath("C:\\Programme"), "C:\\PROGRA~1");
    EXPECT_EQ(Setup_API::GetShortPath("C:\\WINDOWS\\Startmenü\\Programme"),
              "C:\\WINDOWS\\STARTM~1\\PROGRA~1");
    EXPECT_EQ(Setup_API::GetShortPath("C:\\PROGRA~1"), "C:\\PROGRA~1");
    EXPECT_EQ(Setup_API::GetShortPath("C:\\Programme\\Fehlt"), "");
    EXPECT_EQ(Setup_API::GetShortPath(""), "");
}

class ExpandFileTest : public ::testing::Test {
protected:
    TestMachine m;
    fs::path temp() const { return m.DriveC() / "WINDOWS" / "TEMP"; }
};

TEST_F(ExpandFileTest, PlainSourceIsCopiedAndExistingTargetReplaced) {
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += static_cast<char>(i * 7);
    WriteHostFile(temp() / "plain.bin", bytes);
    WriteHostFile(temp() / "target.bin", std::string(300000, 'x'));
    Setup_API::ExpandFile("C:\\WINDOWS\\TEMP\\plain.bin", "C:\\WINDOWS\\TEMP\\target.bin");
    EXPECT_EQ(ReadHostFile(temp() / "target.bin"), bytes);
}

TEST_F(ExpandFileTest, CompressedSourceIsExpanded) {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "Zeile " + std::to_string(i % 97) + ": Dovek’s Zepanu’s Werkzeuge\r\n";
    WriteHostFile(temp() / "Liesmich.txt", text);
    ASSERT_EQ(RunCommand("cd '" + temp().string() + "' && mscompress Liesmich.txt"), 0);
    fs::rename(temp() / "Liesmich.txt_", temp() / "LIESMICH.TX_");
    fs::remove(temp() / "Liesmich.txt");
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Programme\\Zepanu", nullptr));
    Setup_API::ExpandFile("C:\\WINDOWS\\TEMP\\LIESMICH.TX_", "C:\\PROGRA~1\\Zepanu\\Liesmich.txt");
    EXPECT_EQ(ReadHostFile(m.DriveC() / "Programme" / "Zepanu" / "Liesmich.txt"), text);
}

// A packed file that is not whole leaves the target as it was, and no file of the attempt:
// missing, cut short, with a damaged signature or algorithm byte, empty, a folder, a FIFO.
TEST_F(ExpandFileTest, ASourceThatIsNotWholeLeavesTheTargetAsItWasAndIsNoted) {
    std::string text(20000, 'z');
    WriteHostFile(temp() / "Liesmich.txt", text);
    ASSERT_EQ(RunCommand("cd '" + temp().string() + "' && mscompress Liesmich.txt"), 0);
    std::string packed = ReadHostFile(temp() / "Liesmich.txt_");
    auto with = [&](size_t at, char c) {
        std::string changed = packed;
        changed[at] = c;
        return changed;
    };
    struct Row {
        const char* what;
        std::optional<std::string> bytes; // nothing: no file of that name
        bool fifo = false;
    };
    const Row rows[] = {
        {"missing", std::nullopt},   {"cut short", packed.substr(0, packed.size() / 2)},
        {"signature", with(0, 'X')}, {"algorithm", with(8, 'B')},
        {"empty", std::string()},    {"fifo", std::nullopt, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(temp() / "QUELLE.TX_");
        if (row.bytes) {
            WriteHostFile(temp() / "QUELLE.TX_", *row.bytes);
        }
        if (row.fifo) {
            ASSERT_EQ(::mkfifo((temp() / "QUELLE.TX_").c_str(), 0600), 0);
        }
        WriteHostFile(temp() / "alt.txt", "alter Inhalt");
        int before = RunFailures::Count();
        EXPECT_FALSE(
            Setup_API::ExpandFile("C:\\WINDOWS\\TEMP\\QUELLE.TX_", "C:\\WINDOWS\\TEMP\\alt.txt"));
        EXPECT_EQ(ReadHostFile(temp() / "alt.txt"), "alter Inhalt");
        EXPECT_EQ(RunFailures::Count(), before + 1);
        for (const auto& entry : fs::directory_iterator(temp()))
            EXPECT_NE(entry.path().extension(), ".TMP") << entry.path();
    }
    fs::remove(temp() / "QUELLE.TX_");
    fs::create_directory(temp() / "QUELLE.TX_");
    EXPECT_FALSE(
        Setup_API::ExpandFile("C:\\WINDOWS\\TEMP\\QUELLE.TX_", "C:\\WINDOWS\\TEMP\\neu.txt"));
    // A target in a missing folder is not created anywhere.
    EXPECT_FALSE(Setup_API::ExpandFile("C:\\WINDOWS\\WIN.INI", "C:\\Fehlt\\x.ini"));
    EXPECT_FALSE(fs::exists(m.DriveC() / "Fehlt"));
    EXPECT_FALSE(fs::exists(temp() / "neu.txt"));
}

} // namespace
