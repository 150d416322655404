// Runs of the setup program, the removal and the restart taken back: after the undo the
// machine is as it was before the run, to the byte (`zepmachine diff` against a snapshot
// taken before, the recycle bin's list and the pending restart).
#include "platform/portable/machine.h"
#include "platform/portable/runs/run_log.h"
#include "platform/portable/runs/run_undo.h"
#include "support/setup_run.h"

#include <gtest/gtest.h>

namespace {

using portable::RunInfo;
using portable::UndoRefused;
using portable::UndoReport;
using testing_support::kConfirmRemoval;
using testing_support::kFullInstall;
using testing_support::kToOptions;
using testing_support::SetupRun;
using testing_support::WriteHostFile;

constexpr const char* kCancelQuestion =
    "Setup wurde noch nicht vollständig ausgeführt! Wenn Sie jetzt abbrechen, können Sie das "
    "Programm wahrscheinlich nicht ausführen. Möchten Sie trotzdem abbrechen?";
const std::string kRecordKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepsetup";

class UndoRun : public SetupRun {
protected:
    // What the snapshot does not hold: the recycle bin's records and the pending restart.
    std::string Rest() {
        std::string bin;
        EXPECT_EQ(Zep("recycle list", &bin), 0) << bin;
        return "recycle bin:\n" + bin + "restart: " + PendingRestart() + "\n";
    }
    struct Mark {
        std::string rest;
        std::int64_t lastRun = 0;
    };
    // Takes the snapshot name of the machine as it is now, with what it does not hold.
    Mark Take(const std::string& name) {
        std::string out;
        EXPECT_EQ(Zep("snapshot " + name, &out), 0) << out;
        return {Rest(), Runs().empty() ? 0 : Runs().front().id};
    }
    // The machine is as at mark: `zepmachine diff` says so, and the rest is alike.
    void ExpectAsAt(const std::string& name, const Mark& mark) {
        std::string out;
        EXPECT_EQ(Zep("diff " + name, &out), 0) << "after the undo, against " << name << ":\n"
                                                << out;
        EXPECT_EQ(Rest(), mark.rest);
    }
    std::vector<RunInfo> Runs() {
        auto machine = portable::Machine::Open(Root());
        return machine->Runs().List();
    }
    std::optional<RunInfo> Find(std::int64_t id) {
        auto machine = portable::Machine::Open(Root());
        return machine->Runs().Find(id);
    }
    // The runs made since mark, newest first. A step of a user is one run: what the
    // programs it starts change belongs to it.
    std::vector<std::int64_t> RunsSince(const Mark& mark) {
        std::vector<std::int64_t> ids;
        std::string listed;
        for (const RunInfo& r : Runs()) {
            if (r.id > mark.lastRun) {
                ids.push_back(r.id);
                listed += "run " + std::to_string(r.id) + ": " + r.command + "\n";
            }
        }
        EXPECT_EQ(ids.size(), 1u) << "one step made more runs than one:\n" << listed;
        return ids;
    }
    // Takes the runs back, newest first, each in this process (the undo's run ends with the
    // machine); runs taken back already are left out. The reports' lines, together.
    UndoReport Undo(const std::vector<std::int64_t>& runs, bool force = false) {
        UndoReport all;
        for (std::int64_t run : runs) {
            if (Find(run)->undoneBy)
                continue;
            auto machine = portable::Machine::Open(Root());
            UndoReport report = portable::UndoRun(*machine, run, force);
            all.overwritten.insert(all.overwritten.end(), report.overwritten.begin(),
                                   report.overwritten.end());
            all.failed.insert(all.failed.end(), report.failed.begin(), report.failed.end());
        }
        EXPECT_EQ(all.failed, std::vector<std::string>{});
        return all;
    }
    // A registry editor's run setting value "Extra" of key.
    void SetExtra(const std::string& key, const std::string& text = "ja") {
        WriteHostFile(dir_.path() / "extra.reg",
                      "REGEDIT4\r\n\r\n[" + key + "]\r\n\"Extra\"=\"" + text + "\"\r\n\r\n");
        std::string out;
        ASSERT_EQ(Zep("regedit /s " + (dir_.path() / "extra.reg").string(), &out), 0) << out;
    }
    void Install() {
        int status = Run(kFullInstall);
        ASSERT_TRUE(status == 0 || status == 9) << status << errors_;
    }
};

TEST_F(UndoRun, AnInstallationAndTheUndoOfItsUndo) {
    // Every option.
    Mark fresh = Take("frisch");
    Install();
    std::vector<std::int64_t> install = RunsSince(fresh);
    Mark installed = Take("installiert");
    Undo(install);
    ExpectAsAt("frisch", fresh);
    // The undo of the undo brings the installation back; the install is no longer undone.
    std::vector<std::int64_t> undo = RunsSince(installed);
    Mark undone = Take("rueckgaengig");
    Undo(undo);
    ExpectAsAt("installiert", installed);
    std::vector<std::int64_t> redo = RunsSince(undone);
    EXPECT_EQ(Find(install.back())->undoneBy, 0);
    EXPECT_EQ(Find(undo.back())->undoneBy, redo.back());
}

TEST_F(UndoRun, ARemovalFromTheListOfPrograms) {
    // Files, shortcuts, registry and WININIT.INI come back whole.
    Install();
    Mark installed = Take("installiert");
    ASSERT_EQ(RunUninstall("Zepanu03DE", kConfirmRemoval), 0) << errors_;
    ASSERT_NE(WininitText(), "");
    Undo(RunsSince(installed));
    ExpectAsAt("installiert", installed);
}

TEST_F(UndoRun, ARestartProcessingWininit) {
    Install();
    ASSERT_EQ(RunUninstall("Zepanu03DE", kConfirmRemoval), 0) << errors_;
    Mark beforeBoot = Take("vorNeustart");
    std::string out;
    ASSERT_EQ(Zep("boot", &out), 0) << out;
    ASSERT_EQ(WininitText(), "");
    Undo(RunsSince(beforeBoot));
    ExpectAsAt("vorNeustart", beforeBoot);
}

TEST_F(UndoRun, CancelDuringTheCopyTakenBackEmptiesTheRecycleBinAgain) {
    Mark fresh = Take("frisch");
    ASSERT_EQ(Run(std::string(kToOptions) +
                  "when DateinCopy.DateiName \"Zepanu.exe\" close DateinCopy\n"
                  "answer yes \"" +
                  kCancelQuestion + "\"\n"),
              testing_support::exit_status::kCancelledDuringCopy)
        << errors_;
    ASSERT_NE(Rest(), fresh.rest) << "the cancel recycled nothing";
    Undo(RunsSince(fresh));
    ExpectAsAt("frisch", fresh);
}

TEST_F(UndoRun, ALaterRunOnTheSameItemsIsNamedAndOnlyForceOverwritesIt) {
    Install();
    Mark installed = Take("installiert");
    ASSERT_EQ(RunUninstall("Zepanu03DE", kConfirmRemoval), 0) << errors_;
    std::vector<std::int64_t> removal = RunsSince(installed);
    // The removal deleted the installation's record; an editor makes it again.
    ASSERT_FALSE(Value(kRecordKey, "Lizenz"));
    Mark removed = Take("entfernt");
    SetExtra(kRecordKey);
    std::int64_t editor = RunsSince(removed).front();
    Mark edited = Take("bearbeitet");
    try {
        Undo(removal);
        ADD_FAILURE() << "an undo under a later run's change went through";
    } catch (const UndoRefused& e) {
        EXPECT_NE(std::string(e.what()).find("run " + std::to_string(editor) + " ("),
                  std::string::npos)
            << e.what();
    }
    ExpectAsAt("bearbeitet", edited);
    EXPECT_EQ(Find(removal.back())->undoneBy, 0);

    UndoReport report = Undo(removal, true);
    ASSERT_FALSE(report.overwritten.empty());
    for (const std::string& line : report.overwritten)
        EXPECT_TRUE(line.starts_with("run " + std::to_string(editor) + " (")) << line;
    // The record comes back as the installation left it, without the editor's value.
    ExpectAsAt("installiert", installed);
}

TEST_F(UndoRun, RunsOnTheSameItemsTakenBackNewestFirst) {
    Mark start = Take("anfang");
    SetExtra("HKEY_CURRENT_USER\\Eins", "alt");
    std::int64_t first = RunsSince(start).front();
    Mark between = Take("dazwischen");
    SetExtra("HKEY_CURRENT_USER\\Eins", "neu");
    std::int64_t second = RunsSince(between).front();
    Undo({second});
    ExpectAsAt("dazwischen", between);
    // The undo of the later run put its items back: nothing later stands in the way.
    Undo({first});
    ExpectAsAt("anfang", start);
}

TEST_F(UndoRun, OnlyTheNewestRunsAreKeptToBeTakenBack) {
    {
        auto machine = portable::Machine::Open(Root());
        machine->SetSetting("undo_runs", "2");
    }
    std::vector<std::int64_t> runs;
    for (std::string name : {"Eins", "Zwei", "Drei"}) {
        Mark before = Take(name);
        SetExtra("HKEY_CURRENT_USER\\" + name);
        runs.push_back(RunsSince(before).front());
    }
    EXPECT_TRUE(Find(runs[0])->forgotten);
    EXPECT_FALSE(Find(runs[1])->forgotten);
    EXPECT_FALSE(Find(runs[2])->forgotten);
    try {
        Undo({runs[0]});
        ADD_FAILURE() << "a forgotten run was taken back";
    } catch (const UndoRefused& e) {
        EXPECT_NE(std::string(e.what()).find("can no longer be undone"), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(Value("HKEY_CURRENT_USER\\Eins", "Extra"));
}

} // namespace
