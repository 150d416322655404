#include "platform/portable/machine.h"

#include "platform/kernel32.h"
#include "platform/portable/file_system.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::TestMachine;

TEST(Machine, FreshMachineIsAGermanWindows95) {
    TestMachine m;
    const char* folders[] = {"C:\\WINDOWS",
                             "C:\\WINDOWS\\SYSTEM",
                             "C:\\WINDOWS\\TEMP",
                             "C:\\Programme",
                             "C:\\WINDOWS\\Startmen\xFC\\Programme",
                             "C:\\WINDOWS\\Desktop"};
    for (const char* folder : folders) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(win::GetFileAttributesA(folder), FILE_ATTRIBUTE_DIRECTORY);
    }
    std::string systemIni = ReadHostFile(m.DriveC() / "WINDOWS" / "SYSTEM.INI");
    EXPECT_TRUE(systemIni.starts_with("[boot]\r\n"));
    EXPECT_NE(systemIni.find("[vcache]\r\n"), std::string::npos);
    EXPECT_EQ(systemIni.find("\n\n"), std::string::npos); // CR LF throughout
    EXPECT_FALSE(ReadHostFile(m.DriveC() / "WINDOWS" / "WIN.INI").empty());

    auto drives = m.machine().Drives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].letter, 'A');
    EXPECT_FALSE(drives[0].HasMedium());
    EXPECT_EQ(drives[1].type, DRIVE_FIXED);
    EXPECT_EQ(drives[1].host, m.DriveC());
    EXPECT_FALSE(m.machine().ReadJournal().empty());
}

TEST(Machine, CreateRefusesAnExistingMachineAndOpenNeedsOne) {
    TempDir dir;
    portable::Machine::Create(dir.path() / "m");
    EXPECT_THROW(portable::Machine::Create(dir.path() / "m"), portable::MachineError);
    EXPECT_THROW(portable::Machine::Open(dir.path() / "leer"), portable::MachineError);
    EXPECT_NO_THROW(portable::Machine::Open(dir.path() / "m"));
}

TEST(Machine, AFolderCopiedElsewhereStillWorks) {
    TempDir dir;
    portable::Machine::Create(dir.path() / "m");
    fs::rename(dir.path() / "m", dir.path() / "n");
    auto machine = portable::Machine::Open(dir.path() / "n");
    EXPECT_EQ(machine->FindDrive('C')->host, fs::canonical(dir.path() / "n") / "drive_c");
}

TEST(Machine, SelectionOrder) {
    TempDir dir;
    std::string exe = ZEPMACHINE_BIN;
    // An executable inside a machine belongs to that machine, whatever the environment says.
    auto inner = portable::Machine::Create(dir.path() / "m");
    fs::create_directories(dir.path() / "m" / "drive_c" / "Programme" / "Zepanu");
    EXPECT_EQ(portable::MachineContaining(dir.path() / "m" / "drive_c" / "Programme" / "Zepanu"),
              fs::canonical(dir.path() / "m"));
    EXPECT_FALSE(portable::MachineContaining(dir.path()).has_value());

    // Outside any machine: $ZEPSETUP_MACHINE, then $XDG_DATA_HOME.
    std::string out;
    std::string env = "env -u ZEPSETUP_MACHINE XDG_DATA_HOME=" + dir.path().string() + "/xdg ";
    ASSERT_EQ(RunCommand(env + exe + " info", &out), 0) << out;
    EXPECT_NE(out.find(dir.path().string() + "/xdg/zepsetup/machine"), std::string::npos);
    EXPECT_TRUE(portable::Machine::Exists(dir.path() / "xdg" / "zepsetup" / "machine"));
    ASSERT_EQ(RunCommand("env ZEPSETUP_MACHINE=" + (dir.path() / "m").string() +
                             " XDG_DATA_HOME=" + dir.path().string() + "/xdg " + exe + " info",
                         &out),
              0);
    EXPECT_NE(out.find("machine: " + fs::canonical(dir.path() / "m").string()), std::string::npos);
}

TEST(Zepmachine, VerbsAnswerHelpAndFailLoudly) {
    TempDir dir;
    std::string exe = ZEPMACHINE_BIN;
    std::string out;
    EXPECT_EQ(RunCommand(exe + " --help", &out), 0);
    EXPECT_NE(out.find("init"), std::string::npos);
    for (const char* verb : {"init", "info", "ls"}) {
        SCOPED_TRACE(verb);
        EXPECT_EQ(RunCommand(exe + " " + verb + " --help", &out), 0);
        EXPECT_NE(out.find("usage: zepmachine"), std::string::npos);
    }
    std::string m = (dir.path() / "m").string();
    EXPECT_EQ(RunCommand(exe + " init " + m, &out), 0);
    EXPECT_EQ(RunCommand(exe + " init " + m + " 2>&1", &out), 1);
    EXPECT_NE(out.find("already holds a machine"), std::string::npos);
    EXPECT_EQ(RunCommand(exe + " frobnicate 2>/dev/null"), 2);
    EXPECT_EQ(RunCommand(exe + " --machine " + m + " ls 2>/dev/null"), 2);

    EXPECT_EQ(RunCommand(exe + " --machine " + m + " ls --tsv 'C:\\WINDOWS\\Startmenü'", &out), 0);
    EXPECT_NE(out.find("Programme\tPROGRA~1\t10\t0\n"), std::string::npos) << out;
    EXPECT_EQ(RunCommand(exe + " --machine " + m + " ls 'C:\\Nirgendwo' 2>&1", &out), 1);
    EXPECT_NE(out.find("C:\\Nirgendwo: file not found"), std::string::npos) << out;
    EXPECT_EQ(RunCommand(exe + " --machine " + m + " ls 'A:\\' 2>&1", &out), 1);
    EXPECT_NE(out.find("no medium"), std::string::npos) << out;
}

} // namespace
