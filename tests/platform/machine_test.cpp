#include "platform/portable/machine.h"

#include "platform/kernel32.h"
#include "platform/portable/files/file_system.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

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
    EXPECT_FALSE(fs::exists(dir.path() / "leer")); // opening made nothing
    EXPECT_NO_THROW(portable::Machine::Open(dir.path() / "m"));
    // A folder that holds anything but a machine is never made one.
    fs::create_directories(dir.path() / "voll");
    WriteHostFile(dir.path() / "voll" / "brief.txt", "x");
    EXPECT_THROW(portable::Machine::Create(dir.path() / "voll"), portable::MachineError);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "voll"), {}), 1);
    fs::create_directories(dir.path() / "frei");
    EXPECT_NO_THROW(portable::Machine::Create(dir.path() / "frei")); // an empty one is
}

TEST(Machine, AFolderCopiedElsewhereStillWorks) {
    TempDir dir;
    portable::Machine::Create(dir.path() / "m");
    fs::rename(dir.path() / "m", dir.path() / "n");
    auto machine = portable::Machine::Open(dir.path() / "n");
    EXPECT_EQ(machine->FindDrive('C')->host, fs::canonical(dir.path() / "n") / "drive_c");
}

// The command line, then the environment, then the machine holding the executable (an
// installed copy), then the default machine, which alone is made on first use.
TEST(Machine, SelectionOrder) {
    TempDir dir;
    std::string m1 = (dir.path() / "m1").string();
    std::string m2 = (dir.path() / "m2").string();
    portable::Machine::Create(m1);
    portable::Machine::Create(m2);
    fs::create_directories(dir.path() / "m1" / "drive_c" / "Programme" / "Zepanu");
    EXPECT_EQ(portable::MachineContaining(dir.path() / "m1" / "drive_c" / "Programme" / "Zepanu"),
              fs::canonical(m1));
    EXPECT_FALSE(portable::MachineContaining(dir.path()).has_value());
    fs::path installed = dir.path() / "m1" / "drive_c" / "zm";
    fs::copy_file(ZEPMACHINE_BIN, installed);

    struct Case {
        std::string command;
        std::string machine;
    } cases[] = {
        {"env -u ZEPSETUP_MACHINE " + installed.string() + " --machine " + m2 + " info", m2},
        {"ZEPSETUP_MACHINE=" + m2 + " " + installed.string() + " info", m2},
        {"ZEPSETUP_MACHINE=" + m2 + " " + installed.string() + " --machine " + m1 + " info", m1},
        {"ZEPSETUP_MACHINE=" + m1 + " " + std::string(ZEPMACHINE_BIN) + " --machine=" + m2 +
             " info",
         m2},
        {"env -u ZEPSETUP_MACHINE " + installed.string() + " info", m1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        std::string out;
        ASSERT_EQ(RunCommand(c.command + " 2>&1", &out), 0) << out;
        EXPECT_NE(out.find("machine: " + fs::canonical(c.machine).string() + "\n"),
                  std::string::npos)
            << out;
    }

    // Outside any machine and without a choice: the default, made on first use.
    std::string out;
    std::string env = "env -u ZEPSETUP_MACHINE XDG_DATA_HOME=" + dir.path().string() + "/xdg ";
    ASSERT_EQ(RunCommand(env + ZEPMACHINE_BIN + " info", &out), 0) << out;
    EXPECT_NE(out.find(dir.path().string() + "/xdg/zepsetup/machine"), std::string::npos);
    EXPECT_TRUE(portable::Machine::Exists(dir.path() / "xdg" / "zepsetup" / "machine"));
}

// Only init makes a machine: every other verb on a folder that holds none says so, fails and
// leaves the folder as it was; init itself takes only a new or empty folder.
TEST(Machine, OnlyInitMakesAMachine) {
    TempDir dir;
    std::string exe = ZEPMACHINE_BIN;
    fs::path missing = dir.path() / "fehlt";
    fs::path empty = dir.path() / "leer";
    fs::path full = dir.path() / "voll";
    fs::create_directories(empty);
    fs::create_directories(full);
    WriteHostFile(full / "brief.txt", "Lieber Kunde");
    for (const fs::path& folder : {missing, empty, full}) {
        for (std::string verb :
             {"info", "ls 'C:\\'", "log", "reg query HKLM", "regedit /s x.reg"}) {
            for (bool byEnvironment : {false, true}) {
                std::string command =
                    byEnvironment ? "ZEPSETUP_MACHINE=" + folder.string() + " " + exe + " " + verb
                                  : exe + " --machine " + folder.string() + " " + verb;
                SCOPED_TRACE(command);
                std::string out;
                EXPECT_EQ(RunCommand(command + " 2>&1", &out), 1);
                EXPECT_NE(out.find(folder.string() + " is not a machine"), std::string::npos)
                    << out;
            }
        }
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(fs::is_empty(empty));
    EXPECT_EQ(std::distance(fs::directory_iterator(full), {}), 1);

    std::string out;
    EXPECT_EQ(RunCommand(exe + " init " + full.string() + " 2>&1", &out), 1);
    EXPECT_NE(out.find("is not empty and holds no machine"), std::string::npos) << out;
    EXPECT_EQ(std::distance(fs::directory_iterator(full), {}), 1);
    EXPECT_EQ(RunCommand(exe + " init " + empty.string(), &out), 0) << out;
    EXPECT_EQ(RunCommand(exe + " init " + missing.string(), &out), 0) << out;
    EXPECT_EQ(RunCommand(exe + " --machine " + missing.string() + " info", &out), 0) << out;
}

// A store that is empty, or not a machine's, is reported as damaged and left as it was.
TEST(Machine, ADamagedStoreIsReportedAndLeftAlone) {
    TempDir dir;
    std::string exe = ZEPMACHINE_BIN;
    struct Case {
        std::string name;
        std::string bytes;
        std::string says;
    } cases[] = {
        {"empty", "", "machine.db is empty"},
        {"text", "Dies ist keine Datenbank, sondern ein Brief.\n", "not a machine's store"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path folder = dir.path() / c.name;
        fs::create_directories(folder);
        WriteHostFile(folder / "machine.db", c.bytes);
        EXPECT_THROW(portable::Machine::Open(folder), portable::MachineError);
        for (std::string verb : {"info", "reg query HKLM", "regedit /s x.reg"}) {
            std::string out;
            EXPECT_EQ(
                RunCommand(exe + " --machine " + folder.string() + " " + verb + " 2>&1", &out), 1);
            EXPECT_NE(out.find("the machine is damaged"), std::string::npos) << out;
            EXPECT_NE(out.find(c.says), std::string::npos) << out;
        }
        EXPECT_EQ(ReadHostFile(folder / "machine.db"), c.bytes);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1); // no log, no index
    }
    // A database without the machine's tables: damaged too, and not turned into a log.
    fs::path foreign = dir.path() / "fremd";
    fs::create_directories(foreign);
    ASSERT_EQ(RunCommand("sqlite3 " + (foreign / "machine.db").string() +
                         " 'CREATE TABLE t(x); INSERT INTO t VALUES(1)'"),
              0);
    std::string before = ReadHostFile(foreign / "machine.db");
    std::string out;
    EXPECT_EQ(RunCommand(exe + " --machine " + foreign.string() + " info 2>&1", &out), 1);
    EXPECT_NE(out.find("the machine is damaged"), std::string::npos) << out;
    EXPECT_EQ(ReadHostFile(foreign / "machine.db"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(foreign), {}), 1);
}

// A machine folder its user cannot write: every reading verb works, a change fails saying
// the machine is read-only, and nothing in the folder changes. Run as nobody when the test
// runs as root, who may write anything.
TEST(Machine, AReadOnlyMachineCanBeReadButNotChanged) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    fs::path m = dir.path() / "m";
    portable::Machine::Create(m);
    // Made outside the machine, so its alias is not stored yet and cannot be.
    WriteHostFile(m / "drive_c" / "Von außen.txt", "x");
    WriteHostFile(dir.path() / "change.reg",
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Neu]\r\n\"Wert\"=\"1\"\r\n");
    ASSERT_EQ(RunCommand("chmod -R a-w " + m.string()), 0);
    std::string runner =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    std::string exe = runner + ZEPMACHINE_BIN + " --machine " + m.string() + " ";
    std::string store = ReadHostFile(m / "machine.db");
    auto listing = [&] {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(m))
            names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    auto before = listing();

    std::string out;
    EXPECT_EQ(RunCommand(exe + "info 2>&1", &out), 0) << out;
    EXPECT_NE(out.find("C:  fixed"), std::string::npos) << out;
    EXPECT_EQ(RunCommand(exe + "ls 'C:\\' 2>&1", &out), 0) << out;
    EXPECT_NE(out.find("VONAUß~1.TXT ----A          1  Von außen.txt"), std::string::npos) << out;
    EXPECT_EQ(
        RunCommand(exe + "reg query 'HKCU\\Control Panel\\desktop\\WindowMetrics' 2>&1", &out), 0)
        << out;
    EXPECT_EQ(RunCommand(exe + "reg export HKCU 2>&1", &out), 0) << out;
    EXPECT_TRUE(out.starts_with("REGEDIT4")) << out.substr(0, 200);
    EXPECT_EQ(RunCommand(exe + "log 2>&1", &out), 0) << out;
    EXPECT_NE(out.find("init "), std::string::npos) << out;

    EXPECT_EQ(
        RunCommand(exe + "regedit /s " + (dir.path() / "change.reg").string() + " 2>&1", &out), 1);
    EXPECT_NE(out.find("the machine is read-only"), std::string::npos) << out;

    EXPECT_EQ(ReadHostFile(m / "machine.db"), store);
    EXPECT_EQ(listing(), before);
    RunCommand("chmod -R u+w " + m.string()); // so that the folder can be removed
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

// The alias column is 12 characters wide whatever the alias holds: an umlaut is one
// character, though two bytes in the UTF-8 that is printed.
TEST(Zepmachine, LsKeepsItsColumnsWithUmlautsInAliases) {
    TempDir dir;
    std::string exe = ZEPMACHINE_BIN;
    std::string m = (dir.path() / "m").string();
    ASSERT_EQ(RunCommand(exe + " init " + m + " >/dev/null"), 0);
    fs::create_directories(dir.path() / "m" / "drive_c" / "Liste");
    for (const char* name : {"Übersicht der Kunden.txt", "Ärger.txt", "a.txt", "Öl"})
        WriteHostFile(dir.path() / "m" / "drive_c" / "Liste" / name, "x");
    std::string out;
    ASSERT_EQ(RunCommand(exe + " --machine " + m + " ls 'C:\\Liste'", &out), 0) << out;
    std::istringstream lines(out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        SCOPED_TRACE(line);
        // The attributes start at character 14 (after 12 for the alias and a blank).
        size_t characters = 0;
        size_t at = 0;
        for (; at < line.size() && characters < 13; ++at) {
            if ((static_cast<unsigned char>(line[at]) & 0xC0) != 0x80)
                ++characters;
        }
        ASSERT_LT(at + 5, line.size());
        std::string attributes = line.substr(at, 5);
        EXPECT_TRUE(attributes == "----A" || attributes == "D----") << attributes;
        count += attributes == "----A";
    }
    EXPECT_EQ(count, 4);
    EXPECT_NE(out.find("ÜBERSI~1.TXT ----A"), std::string::npos) << out;
}

} // namespace
