// Runs of the setup program when the machine or the host fails under it, and two runs on
// one machine at once: the run ends in seconds, says why, and its exit status tells the
// truth; nothing half done is left under a name the installation uses.
#include "support/setup_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::FolderContents;
using testing_support::kConfirmRemoval;
using testing_support::kFullInstall;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::SetupMachine;
using testing_support::SetupRun;
using testing_support::WriteHostFile;
using namespace testing_support::exit_status;

constexpr const char* kFolder = testing_support::kDefaultFolder;
constexpr const char* kSecondFolder = "C:\\Programme\\Zweite Kopie";
// Into a second folder, on a machine whose icon depth the first installation raised.
constexpr const char* kSecondInstall = "click Lizenz.Command1\n"
                                       "mouseup WillkommenSchirm.WeiterLabel\n"
                                       "set Setup.Text1 \"Zweite Kopie\"\n"
                                       "click Setup.WeiterCommand\n"
                                       "click ProgEinstellungen.Command1\n"
                                       "answer ok\n";

// The last lines of a transcript, for a failure message.
std::string Tail(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i)
        out += lines[i] + "\n";
    return out;
}

// A store made unusable between two runs: cut short, or pages overwritten.
struct Damage {
    const char* name;
    std::uintmax_t keep; // bytes kept (cut short), or where garbage starts
    bool overwrite;
};
const Damage kDamages[] = {
    {"cut to 4 KB", 4096, false},
    {"cut to 16 KB", 16384, false},
    {"cut to 32 KB", 32768, false},
    {"pages from 8 KB overwritten", 8192, true},
};

TEST(FailingMachine, ADamagedStoreEndsTheRunInSecondsWithStatus1AndTheReason) {
    for (const Damage& damage : kDamages) {
        SCOPED_TRACE(damage.name);
        SetupMachine m;
        fs::path store = m.Root() / "machine.db";
        ASSERT_GT(fs::file_size(store), damage.keep + 8192);
        if (damage.overwrite) {
            std::fstream out(store, std::ios::in | std::ios::out | std::ios::binary);
            out.seekp(static_cast<std::streamoff>(damage.keep));
            out << std::string(8192, '\xA5');
        } else {
            fs::resize_file(store, damage.keep);
        }
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(m.Run(kFullInstall), kCouldNotRun) << m.errors_;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
        EXPECT_NE(m.errors_.find("zepsetup"), std::string::npos) << m.errors_;
    }
}

// A machine that can take no change: read-only, or its drive C: folder refused. Both runs
// say why on stderr before any window and end with status 1, and nothing changes: not the
// machine, nor a folder the refused link points to.
struct Refusal {
    const char* name;
    void (*spoil)(SetupMachine&);
    const char* words;
};
const Refusal kRefusals[] = {
    {"read-only machine",
     [](SetupMachine& m) {
         // Root may write anything: the runs are made as nobody then.
         fs::permissions(m.dir_.path(), fs::perms(0755));
         ASSERT_EQ(RunCommand("chmod -R a-w " + m.Root().string()), 0);
         if (::geteuid() == 0)
             m.runner_ = "setpriv --reuid=65534 --regid=65534 --clear-groups";
     },
     "the machine is read-only"},
    {"drive folder a link",
     [](SetupMachine& m) {
         fs::rename(m.C(), m.dir_.path() / "draussen");
         fs::create_symlink(m.dir_.path() / "draussen", m.C());
     },
     "drive C: is refused: its folder drive_c is a symbolic link"},
    {"drive folder missing", [](SetupMachine& m) { fs::rename(m.C(), m.dir_.path() / "weg"); },
     "drive C: is refused: its folder drive_c is missing"},
};

TEST(RefusedMachine, BothRunsSayWhyAndEndWithStatus1ChangingNothing) {
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(refusal.name);
        SetupMachine m;
        ASSERT_EQ(m.Run(kFullInstall), kRestartNeeded) << m.errors_;
        fs::remove(m.dir_.path() / "run.log");
        refusal.spoil(m);
        auto before = FolderContents(m.dir_.path());
        for (bool removal : {false, true}) {
            SCOPED_TRACE(removal ? "removal" : "installation");
            int status =
                removal ? m.RunUninstall("Zepanu03DE", kConfirmRemoval) : m.Run(kFullInstall);
            EXPECT_EQ(status, kCouldNotRun) << m.errors_;
            EXPECT_NE(m.errors_.find(refusal.words), std::string::npos) << m.errors_;
            EXPECT_TRUE(m.Transcript().empty()) << "no window was shown";
            auto after = FolderContents(m.dir_.path());
            for (const char* own : {"run.ui", "errors.txt"}) {
                before.erase(own);
                after.erase(own);
            }
            EXPECT_TRUE(after == before);
        }
        RunCommand("chmod -R u+w " + m.Root().string());
    }
}

// Another process holds the store's write lock from the moment the copy starts until the
// run has ended: the run waits as long as the store lets it, then ends with status 1 and
// the reason, never as completed.
TEST_F(SetupRun, AStoreLockedByAnotherProcessEndsTheRunWithStatus1) {
    ASSERT_EQ(Zep("clock real >/dev/null"), 0);
    fs::path log = dir_.path() / "run.log";
    int status = -1;
    std::thread run([&] { status = Run(kFullInstall); });
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((Root() / "machine.db").c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 10000);
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (ReadHostFile(log).find("show DateinCopy") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    run.join();
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(status, kCouldNotRun) << errors_ << Tail(Transcript());
    EXPECT_NE(errors_.find("zepsetup"), std::string::npos) << errors_;
}

// The disk fills up during the copy (the host refuses to let a file grow past 1250 KB, the
// store's included): the 1.5 MB Zepsetup.exe is never left cut short under its name, the
// run does not claim to have completed cleanly, and no temporary file outlives it.
TEST_F(SetupRun, ADiskThatFillsUpDuringTheCopyIsToldAndLeavesNoCutShortFile) {
    fs::path dist = CopyDistribution();
    fs::rename(dist / "zepsetup", dist / "zepsetup.bin");
    WriteHostFile(dist / "zepsetup", "#!/bin/sh\ntrap '' XFSZ\nulimit -f 2500\n"
                                     "exec \"$(dirname \"$0\")/zepsetup.bin\" \"$@\"\n");
    fs::permissions(dist / "zepsetup", fs::perms::owner_all);
    int status = Run(kFullInstall);
    EXPECT_TRUE(status == kCompletedWithErrors || status == kRestartNeededWithErrors ||
                status == kCouldNotRun)
        << status << errors_ << Tail(Transcript());
    fs::path installed = Host(std::string(kFolder) + "\\Zepsetup.exe");
    EXPECT_TRUE(installed.empty() ||
                fs::file_size(installed) == fs::file_size(dist / "zepsetup.bin"));
    EXPECT_NE(errors_.find("Zepsetup.exe"), std::string::npos) << errors_;
    // The temporary file of a copy cut off is gone once the machine is opened again.
    ASSERT_EQ(Zep("info >/dev/null"), 0);
    for (const auto& e : fs::recursive_directory_iterator(C() / "Programme"))
        EXPECT_NE(e.path().extension(), ".TMP") << e.path();
}

// Two runs on one machine at once: the second says that another installation is in
// progress and ends with status 4, changing nothing; the first finishes as if alone, its
// uninstall entry included.
class TwoRunsAtOnce : public SetupRun {
protected:
    void SetUp() override {
        ASSERT_EQ(Run(kFullInstall), kRestartNeeded) << errors_;
        ASSERT_EQ(Zep("clock real >/dev/null"), 0);
    }
    // Starts a run in its own folder and waits until its transcript shows the window.
    std::thread Start(const std::string& command, const std::string& script,
                      const std::string& window, int* status) {
        fs::path work = dir_.path() / "first";
        fs::create_directories(work);
        WriteHostFile(work / "run.ui", script);
        std::string line = "cd '" + work.string() + "' && ZEPSETUP_MACHINE='" + Root().string() +
                           "' ZEPSETUP_UI=headless ZEPSETUP_UI_SCRIPT=run.ui "
                           "ZEPSETUP_TRANSCRIPT=run.log ZEPMACHINE=" ZEPMACHINE_BIN " " +
                           command + " 2>errors.txt";
        std::thread run([line, status] { *status = RunCommand(line); });
        auto deadline = std::chrono::steady_clock::now() + 60s;
        while (ReadHostFile(work / "run.log").find("show " + window) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        return run;
    }
    void ExpectRefused(int status) {
        EXPECT_EQ(status, kAnotherInstallation) << errors_;
        auto lines = Transcript();
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(lines.front().starts_with("msgbox 64 ")) << lines.front();
        EXPECT_NE(errors_.find("another installation is in progress"), std::string::npos)
            << errors_;
    }
};

TEST_F(TwoRunsAtOnce, ARemovalDuringAnInstallationIsRefused) {
    int first = -1;
    std::thread install =
        Start((dist_ / "zepsetup").string(), kSecondInstall, "DateinCopy", &first);
    ExpectRefused(RunUninstall("Zepanu03DE", "answer ok\n"));
    install.join();
    EXPECT_EQ(first, 0) << ReadHostFile(dir_.path() / "first" / "errors.txt");
    EXPECT_FALSE(Host(std::string(kFolder) + "\\Zepanu.exe").empty());
    EXPECT_FALSE(Host(std::string(kSecondFolder) + "\\Zepsetup.exe").empty());
    auto entry = Value(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zepanu03DE",
        "UninstallString");
    ASSERT_TRUE(entry.has_value());
    EXPECT_NE(entry->bytes.find("ZWEITE"), std::string::npos) << *entry;
}

TEST_F(TwoRunsAtOnce, AnInstallationDuringARemovalIsRefused) {
    int first = -1;
    std::thread removal = Start(std::string(ZEPMACHINE_BIN) + " --machine '" + Root().string() +
                                    "' uninstall Zepanu03DE",
                                kConfirmRemoval, "KillPrBar", &first);
    ExpectRefused(Run("answer ok\n"));
    EXPECT_TRUE(Host(kSecondFolder).empty());
    removal.join();
    EXPECT_EQ(first, 0) << ReadHostFile(dir_.path() / "first" / "errors.txt");
    EXPECT_TRUE(Host(std::string(kFolder) + "\\Zepanu.exe").empty());
}

} // namespace
