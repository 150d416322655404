// Runs that end before their time: a second installation while one is in progress, and
// installations and removals killed (kill -9 of the whole process group) part-way. Whatever
// was cut off can be run again to its end, and the machine ends as after an uninterrupted
// cycle.
#include "platform/portable/machine.h"
#include "platform/portable/store/named_lock.h"
#include "support/setup_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testing_support::kConfirmRemoval;
using testing_support::kFullInstall;
using testing_support::ReadHostFile;
using testing_support::RegistryDump;
using testing_support::RunCommand;
using testing_support::SetupMachine;
using testing_support::SetupRun;
using testing_support::WriteHostFile;
using testing_support::exit_status::kAnotherInstallation;

const std::string kFolder = testing_support::kDefaultFolder;
constexpr const char* kBusy =
    "Es wird bereits eine andere Installation ausgeführt! Bitte warten Sie, bis sie beendet "
    "ist, und starten Sie Setup dann noch einmal.";

// What a whole cycle (install, remove, restart) changes on a fresh machine, as
// `zepmachine diff` tells it against a snapshot taken before. WININIT.BAK, the restart's
// copy of the lines it ran, is told without its size: an installation cut off before its
// icon refresh scheduled two lines fewer, for files that are not there.
std::string CycleDiff(SetupMachine& m, const std::function<void()>& cycle) {
    std::string out;
    EXPECT_EQ(m.Zep("snapshot vorher", &out), 0) << out;
    cycle();
    m.Zep("diff vorher", &out);
    const std::string backup = "+ file   C:\\WINDOWS\\WININIT.BAK  (";
    if (size_t at = out.find(backup); at != std::string::npos)
        out.erase(at + backup.size() - 1, out.find('\n', at) - (at + backup.size() - 1));
    return out;
}

class RecoveryRun : public SetupRun {
protected:
    // Starts command (a zepsetup or zepmachine run) on the real clock in a process group of
    // its own and kills the group with kill -9 once the transcript holds line; then the
    // clock goes back to virtual.
    void RunCut(const std::string& command, const std::string& script, const std::string& line) {
        ASSERT_EQ(Zep("clock real >/dev/null"), 0);
        WriteHostFile(dir_.path() / "cut.ui", script);
        const fs::path log = dir_.path() / "cut.log";
        fs::remove(log);
        std::string pid;
        ASSERT_EQ(RunCommand("cd " + dir_.path().string() + " && ZEPSETUP_MACHINE=" +
                                 Root().string() + " ZEPMACHINE=" + ZEPMACHINE_BIN +
                                 " ZEPSETUP_UI=headless ZEPSETUP_UI_SCRIPT=cut.ui "
                                 "ZEPSETUP_TRANSCRIPT=" +
                                 log.string() + " setsid " + command + " >/dev/null 2>&1 & echo $!",
                             &pid),
                  0);
        pid = pid.substr(0, pid.find('\n'));
        for (int i = 0; i < 5000; ++i) {
            std::string text = fs::exists(log) ? ReadHostFile(log) : "";
            if (text.find(line + "\n") != std::string::npos)
                break;
            ::usleep(2000);
        }
        RunCommand("kill -9 -" + pid + " 2>/dev/null; while kill -0 " + pid +
                   " 2>/dev/null; do sleep 0.01; done");
        ASSERT_EQ(Zep("clock virtual >/dev/null"), 0);
    }
    std::string Setup() const { return (dist_ / "zepsetup").string(); }

    void RemoveAndRestart() {
        ASSERT_EQ(RunUninstall("Zepanu03DE", kConfirmRemoval), 0) << errors_;
        ASSERT_EQ(Zep("boot >/dev/null"), 0);
    }

    // The diff of an uninterrupted cycle on a machine of its own, made once: removed from
    // the list of programs, or by the distribution's copy started with "UnInst" (the
    // installed copy is not running then, so it goes at once rather than at the restart).
    static const std::string& Uninterrupted(bool fromDistribution = false) {
        auto cycle = [](bool distribution) {
            SetupMachine m;
            return CycleDiff(m, [&] {
                int status = m.Run(kFullInstall);
                EXPECT_TRUE(status == 0 || status == 9) << status;
                EXPECT_EQ(distribution ? m.Run(kConfirmRemoval, "UnInst")
                                       : m.RunUninstall("Zepanu03DE", kConfirmRemoval),
                          0);
                EXPECT_EQ(m.Zep("boot >/dev/null"), 0);
            });
        };
        static const std::string listed = cycle(false);
        static const std::string distribution = cycle(true);
        return fromDistribution ? distribution : listed;
    }
};

TEST_F(RecoveryRun, OneInstallationAtATime) {
    const RegistryDump before = Registry();
    {
        auto machine = portable::Machine::Open(Root());
        auto held = portable::NamedLock::Try(*machine, "mutex Zepsetup Installation");
        ASSERT_TRUE(held);
        for (const char* arguments : {"", "UnInst"}) {
            EXPECT_EQ(Run(std::string("answer ok \"") + kBusy + "\"\n", arguments),
                      kAnotherInstallation)
                << errors_;
            EXPECT_NE(errors_.find("another installation is in progress"), std::string::npos)
                << errors_;
            EXPECT_EQ(Transcript(), (std::vector<std::string>{
                                        "msgbox 64 \"" + std::string(kBusy) + "\" -> 1", "end"}));
        }
        EXPECT_EQ(Registry(), before);
        EXPECT_TRUE(Host(kFolder).empty());
    }
    // A holder killed with kill -9 leaves no lock behind.
    pid_t child = ::fork();
    if (child == 0) {
        auto machine = portable::Machine::Open(Root());
        auto held = portable::NamedLock::Try(*machine, "mutex Zepsetup Installation");
        ::raise(held ? SIGKILL : SIGTERM);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    int installed = Run(kFullInstall);
    EXPECT_TRUE(installed == 0 || installed == 9) << errors_;
}

// Cut points spread over the install: in the copy, and on the options page while the
// settings are written.
class InstallCut : public RecoveryRun, public ::testing::WithParamInterface<const char*> {};
INSTANTIATE_TEST_SUITE_P(Points, InstallCut,
                         ::testing::Values("show DateinCopy", "progress DateinCopy 33",
                                           "progress DateinCopy 90",
                                           "show ProgEinstellungen modal"));

TEST_P(InstallCut, RunAgainIntoTheSameFolderThenRemoved) {
    std::string diff = CycleDiff(*this, [&] {
        RunCut(Setup(), kFullInstall, GetParam());
        int status = Run(kFullInstall);
        ASSERT_TRUE(status == 0 || status == 9) << errors_;
        for (const auto& line : Transcript())
            EXPECT_EQ(line.find("Dieser Ordner existiert bereits!"), std::string::npos);
        RemoveAndRestart();
    });
    EXPECT_EQ(diff, Uninterrupted());
}

TEST_P(InstallCut, RemovedWithoutFinishing) {
    std::string diff = CycleDiff(*this, [&] {
        RunCut(Setup(), kFullInstall, GetParam());
        ASSERT_EQ(Run(kConfirmRemoval, "UnInst"), 0) << errors_;
        ASSERT_EQ(Zep("boot >/dev/null"), 0);
    });
    EXPECT_EQ(diff, Uninterrupted(true));
}

// Cut points spread over the removal: after the files, after the registry, before the
// icons are given back.
class RemovalCut : public RecoveryRun, public ::testing::WithParamInterface<const char*> {};
INSTANTIATE_TEST_SUITE_P(Points, RemovalCut,
                         ::testing::Values("progress KillPrBar 1", "progress KillPrBar 38",
                                           "progress KillPrBar 90"));

TEST_P(RemovalCut, RunAgainFromTheListOfPrograms) {
    std::string diff = CycleDiff(*this, [&] {
        int status = Run(kFullInstall);
        ASSERT_TRUE(status == 0 || status == 9) << errors_;
        RunCut(std::string(ZEPMACHINE_BIN) + " --machine " + Root().string() +
                   " uninstall Zepanu03DE",
               kConfirmRemoval, GetParam());
        // The entry goes last: the removal can be started again as long as it is unfinished.
        ASSERT_TRUE(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                          "Uninstall\\Zepanu03DE",
                          "UninstallString"));
        RemoveAndRestart();
    });
    EXPECT_EQ(diff, Uninterrupted());
}

} // namespace
