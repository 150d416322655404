// The machine verbs of this work: boot, windows, display, clock, log and recycle.
#include "platform/shell32.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/named_lock.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <regex>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteHostFile;

class MachineTools : public ::testing::Test {
protected:
    MachineTools() {
        EXPECT_EQ(
            RunCommand(std::string(ZEPMACHINE_BIN) + " init " + root().string() + " >/dev/null"),
            0);
    }
    int Zep(const std::string& arguments, std::string* out = nullptr) {
        return RunCommand(std::string(ZEPMACHINE_BIN) + " --machine " + root().string() + " " +
                              arguments + " 2>&1",
                          out);
    }
    fs::path root() const { return dir_.path() / "m"; }
    fs::path c() const { return root() / "drive_c"; }

    // Every file of drive C: with its contents.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(c())) {
            if (e.is_regular_file())
                files[e.path().lexically_relative(c()).string()] = ReadHostFile(e.path());
        }
        return files;
    }

    // Deletes paths to the bin as the setup does, in this process.
    void Recycle(std::initializer_list<std::string> paths) {
        std::string list;
        for (const auto& p : paths)
            list += p + '\0';
        list += '\0';
        portable::UseMachine(portable::Machine::Open(root()));
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = list.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
        int rc = win::SHFileOperationA(&op);
        portable::UseMachine(nullptr);
        ASSERT_EQ(rc, 0);
    }

    TempDir dir_;
};

TEST_F(MachineTools, BootDeletesAndRenamesWhatWininitSaysAndNothingElse) {
    fs::create_directories(c() / "Programme" / "Zepanu");
    WriteHostFile(c() / "Programme" / "Zepanu" / "ZEPANU.EXE", "exe");
    WriteHostFile(c() / "Programme" / "Zepanu" / "Liesmich.txt", "readme");
    WriteHostFile(c() / "WINDOWS" / "NEU.DLL", "new");
    WriteHostFile(c() / "WINDOWS" / "SYSTEM" / "ALT.DLL", "old");
    WriteHostFile(c() / "WINDOWS" / "WININIT.BAK", "older");
    WriteHostFile(c() / "WINDOWS" / "WININIT.INI",
                  "[CombineVxDs]\r\nC:\\X=Y\r\n\r\n[rename]\r\n"
                  "NUL=C:\\PROGRA~1\\ZEPANU\\ZEPANU.EXE\r\n"
                  "NUL=C:\\PROGRA~1\\ZEPANU\\GIBTSNIE.TXT\r\n"
                  "C:\\WINDOWS\\SYSTEM\\ALT.DLL=C:\\WINDOWS\\NEU.DLL\r\n"
                  "C:\\WINDOWS\\NOCH.DLL=C:\\WINDOWS\\FEHLT.DLL\r\n"
                  "NUL=C:\\WINDOWS\\SHELLI~1\r\n");
    auto before = Files();
    std::string out;
    ASSERT_EQ(Zep("boot", &out), 0) << out;

    auto after = Files();
    auto expected = before;
    expected.erase("Programme/Zepanu/ZEPANU.EXE");
    expected.erase("WINDOWS/NEU.DLL");
    expected["WINDOWS/SYSTEM/ALT.DLL"] = "new";
    expected.erase("WINDOWS/ShellIconCache");
    expected["WINDOWS/WININIT.BAK"] = expected["WINDOWS/WININIT.INI"];
    expected.erase("WINDOWS/WININIT.INI");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(out, "WININIT.INI -> WININIT.BAK\n"
                   "5 entries: 2 deleted, 1 renamed, 2 skipped, 0 failed\n");

    ASSERT_EQ(Zep("boot", &out), 0);
    EXPECT_EQ(out, "no WININIT.INI\n");
}

// Failures are always printed, every entry only with --verbose; the count ends both.
TEST_F(MachineTools, BootPrintsFailuresAndACountOrEveryEntryWhenVerbose) {
    fs::path windows = c() / "WINDOWS";
    fs::create_directory(windows / "ORDNER");
    const std::string failed = "failed C:\\WINDOWS\\ORDNER=C:\\WINDOWS\\NEU.DLL (error ";
    // A line too long for a path fails rather than run cut short.
    const std::string tooLong = "failed line 5 (longer than 8192 bytes)\n";
    const std::string count = "4 entries: 1 deleted, 0 renamed, 1 skipped, 2 failed\n";
    for (bool verbose : {false, true}) {
        WriteHostFile(windows / "NEU.DLL", "neu");
        WriteHostFile(windows / "ALT.DLL", "alt");
        WriteHostFile(windows / "WININIT.INI",
                      "[rename]\r\nNUL=C:\\WINDOWS\\ALT.DLL\r\nNUL=C:\\FEHLT.TXT\r\n"
                      "C:\\WINDOWS\\ORDNER=C:\\WINDOWS\\NEU.DLL\r\n"
                      "NUL=C:\\" +
                          std::string(9000, 'X') + "\r\n");
        std::string out;
        EXPECT_EQ(Zep(verbose ? "boot --verbose" : "boot", &out), 1);
        std::string entries = verbose ? "deleted C:\\WINDOWS\\ALT.DLL\n"
                                        "skipped NUL=C:\\FEHLT.TXT (missing)\n" +
                                            failed
                                      : failed;
        EXPECT_TRUE(out.starts_with("WININIT.INI -> WININIT.BAK\n" + entries)) << out;
        EXPECT_NE(out.find(")\n" + tooLong + count), std::string::npos) << out;
        EXPECT_NE(out.find("2 line(s) of WININIT.INI failed"), std::string::npos) << out;
    }
    std::string help;
    Zep("boot --help", &help);
    EXPECT_NE(help.find("--verbose"), std::string::npos) << help;
}

// WININIT.INI is streamed: the boot of a file of tens of megabytes stays small.
TEST_F(MachineTools, BootOfAHugeWininitRunsInBoundedMemory) {
    {
        std::ofstream out(c() / "WINDOWS" / "WININIT.INI", std::ios::binary);
        out << "[CombineVxDs]\r\n";
        const std::string filler = "C:\\WINDOWS\\SYSTEM\\" + std::string(48, 'x') + "=1\r\n";
        for (int i = 0; i < 600000; ++i) // 42 MB
            out << filler;
        out << "[rename]\r\nNUL=C:\\WEG.TXT\r\n";
    }
    WriteHostFile(c() / "WEG.TXT", "weg");
    pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        ::execl(ZEPMACHINE_BIN, ZEPMACHINE_BIN, "--machine", root().c_str(), "boot", nullptr);
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(c() / "WEG.TXT"));
    EXPECT_LT(usage.ru_maxrss, 24 * 1024) << "KB at the peak";
}

TEST_F(MachineTools, WindowsOfOtherProgramsAreListedWithTheirState) {
    std::string out;
    ASSERT_EQ(Zep("windows add \"Dovek's TaskBar Symbole 1.0\"", &out), 0) << out;
    ASSERT_EQ(Zep("windows add Versteckt --hidden", &out), 0) << out;
    ASSERT_EQ(Zep("windows list", &out), 0);
    EXPECT_EQ(out, "0x00010004  visible Dovek's TaskBar Symbole 1.0\n"
                   "0x00010008  hidden  Versteckt\n");
    EXPECT_EQ(Zep("windows add a b c", &out), 2);
}

TEST_F(MachineTools, DisplayAndClockAreMachineSettings) {
    std::string out;
    ASSERT_EQ(Zep("display", &out), 0);
    EXPECT_NE(out.find("1024x768"), std::string::npos) << out;
    EXPECT_NE(out.find("taskbar  -2,740,1026,770"), std::string::npos) << out;
    ASSERT_EQ(Zep("display --size 800x600 --taskbar top --bits 8", &out), 0) << out;
    EXPECT_NE(out.find("taskbar  -2,-2,802,28"), std::string::npos) << out;
    EXPECT_NE(out.find("8 bits"), std::string::npos) << out;
    ASSERT_EQ(Zep("display --taskbar none", &out), 0);
    EXPECT_NE(out.find("taskbar  none"), std::string::npos) << out;
    EXPECT_EQ(Zep("display --taskbar middle", &out), 2);
    EXPECT_EQ(Zep("display --size big", &out), 2);

    ASSERT_EQ(Zep("clock", &out), 0);
    EXPECT_EQ(out, "real\n");
    ASSERT_EQ(Zep("clock virtual", &out), 0);
    EXPECT_EQ(out, "virtual\n");
    EXPECT_EQ(Zep("clock fast", &out), 2);
}

TEST_F(MachineTools, TheLogShowsTheJournal) {
    std::string out;
    ASSERT_EQ(Zep("windows add Fenster", &out), 0);
    ASSERT_EQ(Zep("log", &out), 0);
    EXPECT_NE(out.find("window open \"Fenster\""), std::string::npos) << out;
    std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
    std::string id = last.substr(0, last.find(' '));
    ASSERT_EQ(Zep("log --since " + id, &out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(Zep("log --since x", &out), 2);
}

} // namespace

TEST_F(MachineTools, TheRecycleBinIsListedRestoredAndEmptied) {
    fs::create_directories(c() / "Programme" / "Zepanu" / "Hilfe");
    WriteHostFile(c() / "Programme" / "Zepanu" / "ZEPANU.EXE", "exe");
    WriteHostFile(c() / "Programme" / "Zepanu" / "Hilfe" / "Index.htm", "index");
    WriteHostFile(c() / "Notiz.txt", "notiz");
    Recycle({"C:\\PROGRA~1\\Zepanu", "C:\\Notiz.txt"});

    std::string out;
    ASSERT_EQ(Zep("recycle list", &out), 0) << out;
    EXPECT_TRUE(std::regex_match(out, std::regex(R"(1  \S+Z  8  C:\\Programme\\Zepanu  )"
                                                 R"(C:\\RECYCLED\\DC1\n)"
                                                 R"(2  \S+Z  5  C:\\Notiz\.txt  )"
                                                 R"(C:\\RECYCLED\\DC2\.TXT\n)")))
        << out;
    ASSERT_EQ(Zep("recycle list --json", &out), 0) << out;
    EXPECT_TRUE(std::regex_match(
        out, std::regex(R"(\[\n  \{"id": 1, "time": "\S+Z", "size": 8, "folder": true, )"
                        R"("original": "C:\\\\Programme\\\\Zepanu", )"
                        R"("stored": "C:\\\\RECYCLED\\\\DC1"\},\n)"
                        R"(  \{"id": 2, .*"folder": false, .*\}\n\]\n)")))
        << out;

    // One item comes back, the other is refused: something is at its place now.
    WriteHostFile(c() / "Notiz.txt", "neu");
    EXPECT_EQ(Zep("recycle restore 1 2", &out), 1);
    EXPECT_NE(out.find("restored 1: C:\\RECYCLED\\DC1 -> C:\\Programme\\Zepanu\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("zepmachine recycle: C:\\Notiz.txt exists already"), std::string::npos)
        << out;
    EXPECT_EQ(ReadHostFile(c() / "Programme" / "Zepanu" / "Hilfe" / "Index.htm"), "index");
    EXPECT_EQ(Zep("recycle restore 1", &out), 1);
    EXPECT_EQ(out, "zepmachine recycle: no item 1 in the recycle bin\n");

    EXPECT_EQ(Zep("recycle", &out), 2);
    EXPECT_EQ(Zep("recycle restore", &out), 2);
    EXPECT_EQ(Zep("recycle restore eins", &out), 2);
    EXPECT_EQ(Zep("recycle restore 0", &out), 2);
    EXPECT_EQ(Zep("recycle list --xml", &out), 2);
    EXPECT_EQ(Zep("recycle shred", &out), 2);
    ASSERT_EQ(Zep("recycle --help", &out), 0);
    EXPECT_TRUE(out.starts_with("usage: zepmachine recycle list [--json]\n")) << out;

    ASSERT_EQ(Zep("recycle empty", &out), 0) << out;
    EXPECT_EQ(out, "deleted 1 item(s)\n");
    ASSERT_EQ(Zep("recycle list --json", &out), 0);
    EXPECT_EQ(out, "[]\n");
    EXPECT_FALSE(fs::exists(c() / "RECYCLED" / "DC2.TXT"));
    EXPECT_EQ(ReadHostFile(c() / "Notiz.txt"), "neu");

    ASSERT_EQ(Zep("log", &out), 0);
    for (const char* line : {"recycle C:\\Notiz.txt -> C:\\RECYCLED\\DC2.TXT (5 bytes)",
                             "restore C:\\RECYCLED\\DC1 -> C:\\Programme\\Zepanu",
                             "recycle empty C:\\RECYCLED\\DC2.TXT (C:\\Notiz.txt)"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
}

TEST_F(MachineTools, ARecycleRecordPointingOutOfItsDriveIsNotRestored) {
    WriteHostFile(c() / "Notiz.txt", "notiz");
    Recycle({"C:\\Notiz.txt"});
    {
        auto machine = portable::Machine::Open(root());
        machine->store().Exec("UPDATE recycle_bin SET original = 'C:\\..\\..\\Notiz.txt'");
    }
    std::string out;
    EXPECT_EQ(Zep("recycle restore 1", &out), 1);
    EXPECT_NE(out.find("its record is damaged (original path 'C:\\..\\..\\Notiz.txt' is not a "
                       "plain full path)"),
              std::string::npos)
        << out;
    EXPECT_FALSE(fs::exists(root() / "Notiz.txt"));
    EXPECT_FALSE(fs::exists(dir_.path() / "Notiz.txt"));
    EXPECT_EQ(ReadHostFile(c() / "RECYCLED" / "DC1.TXT"), "notiz");
}

// Restoring and emptying take turns: while one holds the bin, the other does nothing and
// says why.
TEST_F(MachineTools, RestoreAndEmptyTakeTurns) {
    WriteHostFile(c() / "Notiz.txt", "notiz");
    Recycle({"C:\\Notiz.txt"});
    std::string out;
    {
        auto machine = portable::Machine::Open(root());
        auto held = portable::NamedLock::Try(*machine, "recycle bin");
        ASSERT_TRUE(held);
        for (const char* verb : {"recycle restore 1", "recycle empty"}) {
            EXPECT_EQ(Zep(verb, &out), 1) << verb;
            EXPECT_NE(out.find("another command is restoring or emptying the recycle bin"),
                      std::string::npos)
                << out;
        }
        EXPECT_FALSE(fs::exists(c() / "Notiz.txt"));
        ASSERT_EQ(Zep("recycle list", &out), 0);
        EXPECT_NE(out.find("C:\\Notiz.txt"), std::string::npos) << out;
    }
    ASSERT_EQ(Zep("recycle restore 1", &out), 0) << out;
    EXPECT_EQ(ReadHostFile(c() / "Notiz.txt"), "notiz");
}

// A restore and an emptying of the bin started at the same moment, again and again: the
// item goes to exactly one of them, and what each reports is what the machine holds
// afterwards. A restore that succeeded left the file back in its place and the emptying
// did not count it; one that was refused said why and the emptying deleted the item.
TEST_F(MachineTools, RestoreAndEmptyAtOnceNeverBothClaimAnItem) {
    for (int round = 1; round <= 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        WriteHostFile(c() / "Notiz.txt", "notiz");
        Recycle({"C:\\Notiz.txt"});
        std::string out;
        ASSERT_EQ(Zep("recycle list", &out), 0) << out;
        std::string id = out.substr(0, out.find(' '));
        std::string zep = std::string(ZEPMACHINE_BIN) + " --machine " + root().string();
        fs::path restored = dir_.path() / "restore.txt";
        fs::path emptied = dir_.path() / "empty.txt";
        ASSERT_EQ(RunCommand("(" + zep + " recycle restore " + id + " >" + restored.string() +
                             " 2>&1; echo $? >>" + restored.string() + ") & (" + zep +
                             " recycle empty >" + emptied.string() + " 2>&1; echo $? >>" +
                             emptied.string() + ") & wait"),
                  0);
        std::string restore = ReadHostFile(restored);
        std::string empty = ReadHostFile(emptied);
        bool restoreDone = restore.ends_with("\n0\n") || restore == "0\n";
        bool emptied1 = empty.starts_with("deleted 1 item(s)\n");
        EXPECT_NE(restoreDone, emptied1) << restore << empty;
        // A refusal says why: more than its status line.
        EXPECT_TRUE(restoreDone || restore.size() > 2) << restore;
        EXPECT_EQ(fs::exists(c() / "Notiz.txt"), restoreDone) << restore << empty;
        EXPECT_TRUE(!restoreDone || ReadHostFile(c() / "Notiz.txt") == "notiz");
        ASSERT_EQ(Zep("recycle list", &out), 0) << out;
        EXPECT_EQ(out, "") << restore << empty;
    }
}
