// WritePrivateProfileStringA and the INI edits behind it.
#include "platform/kernel32.h"
#include "platform/portable/files/ini_file.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

namespace {

using testing_support::ReadHostFile;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

TEST(IniText, EditsKeepEveryOtherLine) {
    using portable::ini::DeleteSection;
    using portable::ini::SetEntry;
    std::string text = "; comment\r\n[vcache]\r\nMinFileCache=512\r\n MaxFileCache = 2048\r\n"
                       "\r\n[boot]\r\nshell=Explorer.exe\r\n";
    EXPECT_EQ(
        SetEntry(text, "VCACHE", "minfilecache", std::nullopt),
        "; comment\r\n[vcache]\r\n MaxFileCache = 2048\r\n\r\n[boot]\r\nshell=Explorer.exe\r\n");
    EXPECT_EQ(SetEntry(text, "vcache", "MaxFileCache", "4096"),
              "; comment\r\n[vcache]\r\nMinFileCache=512\r\nMaxFileCache=4096\r\n\r\n[boot]\r\n"
              "shell=Explorer.exe\r\n");
    EXPECT_EQ(SetEntry(text, "vcache", "Chunk", "1"),
              "; comment\r\n[vcache]\r\nMinFileCache=512\r\n MaxFileCache = 2048\r\nChunk=1\r\n\r\n"
              "[boot]\r\nshell=Explorer.exe\r\n");
    EXPECT_EQ(SetEntry("[a]\r\nx=1\r\n", "neu", "k", "v"), "[a]\r\nx=1\r\n\r\n[neu]\r\nk=v\r\n");
    EXPECT_EQ(SetEntry(text, "fehlt", "k", std::nullopt), text);
    EXPECT_EQ(DeleteSection(text, "vcache"), "; comment\r\n[boot]\r\nshell=Explorer.exe\r\n");
    // Lines the edit does not touch keep their ends, a missing last one gets one.
    EXPECT_EQ(SetEntry("[a]\nx=1", "a", "y", "2"), "[a]\nx=1\r\ny=2\r\n");
    EXPECT_EQ(SetEntry("[a]\nx=1\n[b]\n", "A", "x", "3"), "[a]\nx=3\r\n[b]\n");
    EXPECT_EQ(SetEntry("k\n", "neu", "k", "v"), "k\n\r\n[neu]\r\nk=v\r\n");
}

class Profile : public ::testing::Test {
protected:
    std::string SystemIni() const {
        return ReadHostFile(machine_.DriveC() / "WINDOWS" / "SYSTEM.INI");
    }
    TestMachine machine_;
};

TEST_F(Profile, ANullValueDeletesTheEntryAndTheFileIsReplacedWhole) {
    WriteHostFile(machine_.DriveC() / "WINDOWS" / "SYSTEM.INI",
                  "[boot]\r\nshell=Explorer.exe\r\n[vcache]\r\nMinFileCache=512\r\n"
                  "MaxFileCache=2048\r\n");
    EXPECT_TRUE(win::WritePrivateProfileStringA("vcache", "MinFileCache", nullptr, "SYSTEM.INI"));
    EXPECT_TRUE(win::WritePrivateProfileStringA("vcache", "MaxFileCache", nullptr,
                                                "C:\\WINDOWS\\SYSTEM.INI"));
    EXPECT_EQ(SystemIni(), "[boot]\r\nshell=Explorer.exe\r\n[vcache]\r\n");
    EXPECT_FALSE(std::filesystem::exists(machine_.DriveC() / "WINDOWS" / "SYSTEM.$$$"));
    EXPECT_EQ(machine_.machine().ReadJournal().back().text,
              "profile C:\\WINDOWS\\SYSTEM.INI [vcache] MaxFileCache deleted");

    EXPECT_TRUE(win::WritePrivateProfileStringA("vcache", nullptr, nullptr, "SYSTEM.INI"));
    EXPECT_EQ(SystemIni(), "[boot]\r\nshell=Explorer.exe\r\n");
    EXPECT_TRUE(win::WritePrivateProfileStringA("vcache", "ChunkSize", "512", "SYSTEM.INI"));
    EXPECT_EQ(SystemIni(), "[boot]\r\nshell=Explorer.exe\r\n\r\n[vcache]\r\nChunkSize=512\r\n");
}

TEST_F(Profile, DeletingFromAMissingFileCreatesNothing) {
    EXPECT_TRUE(win::WritePrivateProfileStringA("s", "k", nullptr, "NEU.INI"));
    EXPECT_FALSE(std::filesystem::exists(machine_.DriveC() / "WINDOWS" / "NEU.INI"));
    EXPECT_TRUE(win::WritePrivateProfileStringA("s", "k", "v", "NEU.INI"));
    EXPECT_EQ(ReadHostFile(machine_.DriveC() / "WINDOWS" / "NEU.INI"), "[s]\r\nk=v\r\n");
    EXPECT_FALSE(win::WritePrivateProfileStringA("s", "k", "v", "Q:\\X.INI"));
    EXPECT_FALSE(win::WritePrivateProfileStringA(nullptr, "k", "v", "NEU.INI"));
}

} // namespace
