// The removal run end to end: a full installation from the distribution, then the removal
// as the control panel starts it (the installed copy with "UnInst"), then a restart, and
// the machine afterwards.
#include "install/manifest.h"
#include "install_expectations.h"
#include "support/setup_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using testing_support::DumpKey;
using testing_support::FolderContents;
using testing_support::kConfirmRemoval;
using testing_support::kFullInstall;
using testing_support::kPlainInstall;
using testing_support::kRemoved;
using testing_support::ReadHostFile;
using testing_support::RegData;
using testing_support::RegistryDump;
using testing_support::SetupRun;
using testing_support::Sz;
using testing_support::WriteHostFile;
using namespace testing_support::exit_status;

const std::string kFolder = testing_support::kDefaultFolder;
const std::string P = "C:\\PROGRA~1\\DOVEK'~1.0";
const std::string kGroup = "C:\\WINDOWS\\Startmenü\\Programme\\Dovek's Zepanu's 1.0";
const std::string kEntry = "Zepanu03DE";
constexpr const char* kTaskbarTitle = "Dovek's TaskBar Symbole 1.0";

class RemovalRun : public SetupRun {
protected:
    void Install(const std::string& script = kFullInstall) {
        treeBefore_ = FolderContents(C());
        registryBefore_ = Registry();
        keysBefore_ = Keys();
        int status = Run(script);
        ASSERT_TRUE(status == kCompleted || status == kRestartNeeded) << errors_;
        installed_ = Registry();
    }
    int Remove(const std::string& script = kConfirmRemoval) { return RunUninstall(kEntry, script); }
    std::string Boot() {
        std::string out;
        EXPECT_EQ(Zep("boot", &out), 0) << out;
        return out;
    }
    bool Exists(const std::string& winPath) const { return !Host(winPath).empty(); }
    std::vector<std::string> Progress() const {
        std::vector<std::string> out;
        for (const auto& line : Transcript()) {
            if (line.starts_with("progress ") || line.starts_with("caption "))
                out.push_back(line);
        }
        return out;
    }

    std::map<std::string, std::string> treeBefore_;
    RegistryDump registryBefore_;
    std::vector<std::string> keysBefore_;
    RegistryDump installed_;
};

const std::vector<std::string> kSteps = {
    "caption KillPrBar.DateiName \"Programmdateien löschen...\"",
    "progress KillPrBar 1",
    "progress KillPrBar 33",
    "caption KillPrBar.DateiName \"Verknüpfungen löschen...\"",
    "progress KillPrBar 34",
    "progress KillPrBar 38",
    // The restart entries keep the label's text and the bar.
    "caption KillPrBar.DateiName \"Einträge in der Registry löschen...\"",
    "progress KillPrBar 39",
    "progress KillPrBar 90",
    "caption KillPrBar.DateiName \"Symbole wiederherstellen...\"",
    "progress KillPrBar 91",
    "progress KillPrBar 100",
};

// Under both interfaces: the same scripts give the same transcript and the same machine.
class RemovalRunUi : public RemovalRun, public ::testing::WithParamInterface<const char*> {
protected:
    RemovalRunUi() { ui_ = GetParam(); }
};
INSTANTIATE_TEST_SUITE_P(Interfaces, RemovalRunUi,
                         ::testing::ValuesIn(testing_support::kInterfaces),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(RemovalRunUi, TheFullCycleLeavesOnlyWhatTheRemovalMeansToLeave) {
    ASSERT_EQ(Zep("snapshot fresh >/dev/null"), 0);
    Install();
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    std::vector<std::string> expected = {"show UnInstall", "show KillPrBar"};
    expected.insert(expected.end(), kSteps.begin(), kSteps.end());
    expected.push_back("msgbox 64 \"" + std::string(kRemoved) + "\" -> 1");
    expected.push_back("end");
    EXPECT_EQ(Transcript(), expected);

    // Before the restart: everything but the running program is gone; it is scheduled.
    EXPECT_TRUE(Exists(kFolder + "\\Zepsetup.exe"));
    EXPECT_FALSE(Exists(kFolder + "\\Terms.txt"));
    EXPECT_FALSE(Exists(kGroup));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Desktop\\Dovek's Zepanu's 1.0 - Zentrale.lnk"));
    std::string wininit = WininitText();
    EXPECT_NE(wininit.find("NUL=" + P + "\\Zepsetup.exe\r\n"), std::string::npos) << wininit;

    Boot();
    // After it: no file of the manifest; the three folders stay, empty.
    for (const auto& row : install::kManifest) {
        std::string path = kFolder + "\\" + std::string(install::SubfolderOf(row.folder)) +
                           std::string(row.target);
        EXPECT_FALSE(Exists(path)) << path;
    }
    std::map<std::string, std::string> files = FolderContents(C());
    std::map<std::string, std::string> added, removed;
    for (const auto& [path, contents] : files) {
        auto was = treeBefore_.find(path);
        if (was == treeBefore_.end() || was->second != contents)
            added[path] = contents;
    }
    for (const auto& [path, contents] : treeBefore_) {
        if (!files.count(path))
            removed[path] = contents;
    }
    std::set<std::string> addedPaths;
    for (const auto& [path, contents] : added)
        addedPaths.insert(path);
    // The install's icon refresh and the removal scheduled their deletions; WININIT.INI
    // became WININIT.BAK at the restart.
    EXPECT_EQ(addedPaths, (std::set<std::string>{
                              "Programme/Dovek's Zepanu's 1.0/",
                              "Programme/Dovek's Zepanu's 1.0/Doc/",
                              "Programme/Dovek's Zepanu's 1.0/Icons/",
                              "WINDOWS/WININIT.BAK",
                          }));
    // The icon cache (SHELLI~1) goes at the restart, so that the shell rebuilds it.
    std::set<std::string> removedPaths;
    for (const auto& [path, contents] : removed)
        removedPaths.insert(path);
    EXPECT_EQ(removedPaths, (std::set<std::string>{"WINDOWS/ShellIconCache"}));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\WININIT.INI"));

    // The registry: as it was, to the last key (the installation created, the removal
    // deleted; the file types it took over from the machine, .bmp and .dll, given back).
    EXPECT_EQ(Registry(), registryBefore_);
    EXPECT_EQ(Keys(), keysBefore_);

    // The same, as the machine tool shows a person what the cycle changed: only the
    // restart's leftovers and the emptied program folders.
    std::string diff;
    EXPECT_EQ(Zep("diff fresh", &diff), 1);
    std::vector<std::string> lines;
    std::istringstream in(diff);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.starts_with("+ file   C:\\WINDOWS\\WININIT.BAK") ? "+ WININIT.BAK"
                                                                              : line);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "+ folder C:\\Programme\\Dovek's Zepanu's 1.0",
                         "+ folder C:\\Programme\\Dovek's Zepanu's 1.0\\Doc",
                         "+ folder C:\\Programme\\Dovek's Zepanu's 1.0\\Icons",
                         "- file   C:\\WINDOWS\\ShellIconCache  (0 bytes, attributes H)",
                         "+ WININIT.BAK",
                         "4 added, 0 changed, 1 removed",
                     }));
}

TEST_P(RemovalRunUi, NoAndTheCloseBoxChangeNothing) {
    Install();
    auto tree = FolderContents(C());
    ASSERT_EQ(Remove("click UnInstall.Command2\n"), 2) << errors_;
    EXPECT_EQ(Transcript(), (std::vector<std::string>{"show UnInstall", "end"}));
    ASSERT_EQ(Remove("close UnInstall\n"), 2) << errors_;
    EXPECT_EQ(Transcript(),
              (std::vector<std::string>{"show UnInstall", "unload UnInstall", "end"}));
    EXPECT_EQ(Registry(), installed_);
    EXPECT_EQ(FolderContents(C()), tree);
}

TEST_F(RemovalRun, TheTaskbarProgramIsAskedToClose) {
    Install();
    ASSERT_EQ(Zep(std::string("windows add \"") + kTaskbarTitle + " - läuft\" >/dev/null"), 0);
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    std::string windows, log;
    Zep("windows list", &windows);
    EXPECT_EQ(windows.find(kTaskbarTitle), std::string::npos) << windows;
    Zep("log", &log);
    EXPECT_NE(log.find(kTaskbarTitle), std::string::npos) << log;
}

TEST_F(RemovalRun, AReadOnlyFileIsLeftForTheRestart) {
    Install();
    fs::path terms = Host(kFolder + "\\Terms.txt");
    SetAttributes(kFolder + "\\Terms.txt", FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    EXPECT_TRUE(fs::exists(terms));
    auto lines = Transcript();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("msgbox"); }),
              1);
    Boot();
    EXPECT_FALSE(fs::exists(terms));
}

TEST_F(RemovalRun, AFileTheUserAddedToTheGroupKeepsIt) {
    Install();
    WriteHostFile(Host(kGroup) / "Meine Notiz.lnk", "mine");
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    EXPECT_TRUE(Exists(kGroup + "\\Meine Notiz.lnk"));
    EXPECT_FALSE(Exists(kGroup + "\\Hilfe.lnk"));
    auto progress = Progress();
    EXPECT_EQ(std::find(progress.begin(), progress.end(), "progress KillPrBar 38"), progress.end());
    EXPECT_EQ(progress.back(), "progress KillPrBar 96");
}

TEST_F(RemovalRun, TheProgramFolderAlreadyGone) {
    Install();
    // The removal runs from a copy of the program outside the folder it removes.
    fs::copy_file(Host(kFolder + "\\Zepsetup.exe"), C() / "zepsetup.exe");
    fs::remove_all(Host(kFolder));
    ASSERT_EQ(RunOnMachine("C:\\zepsetup.exe", "UnInst", kConfirmRemoval), kCompleted) << errors_;
    EXPECT_EQ(Progress(), kSteps);
    EXPECT_EQ(Transcript()[Transcript().size() - 2],
              "msgbox 64 \"" + std::string(kRemoved) + "\" -> 1");
}

TEST_F(RemovalRun, TheAutostartValueGoesOnlyAsTheInstallationWroteIt) {
    const std::string run = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    Install();
    ASSERT_TRUE(Value(run, "Dovek's Zepanu 1.0"));
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    EXPECT_FALSE(Value(run, "Dovek's Zepanu 1.0"));
    EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                    "SystemTray"),
              Sz("SysTray.Exe"));

    // Changed by the user since: left alone.
    testing_support::SetupMachine changed;
    ASSERT_EQ(changed.Run(kFullInstall), kRestartNeeded) << changed.errors_;
    WriteHostFile(changed.dir_.path() / "run.reg",
                  "REGEDIT4\r\n\r\n[" + run +
                      "]\r\n\"Dovek's Zepanu 1.0\"=\"C:\\\\Tools\\\\Tellmo.exe LoadMe\"\r\n\r\n");
    ASSERT_EQ(changed.Zep("regedit /s " + (changed.dir_.path() / "run.reg").string()), 0);
    ASSERT_EQ(changed.RunUninstall(kEntry, kConfirmRemoval), kCompleted) << changed.errors_;
    EXPECT_EQ(changed.Value(run, "Dovek's Zepanu 1.0"), Sz("C:\\Tools\\Tellmo.exe LoadMe"));
}

TEST_F(RemovalRun, PaintsIconIsResetOnlyWhenItPointsIntoTheProgramFolder) {
    const std::string icon = "HKEY_CLASSES_ROOT\\Paint.Picture\\DefaultIcon";
    Install(kPlainInstall);
    // The user's own icon stays.
    WriteHostFile(dir_.path() / "paint.reg",
                  "REGEDIT4\r\n\r\n[" + icon + "]\r\n@=\"C:\\\\Icons\\\\Bild.ico\"\r\n\r\n");
    ASSERT_EQ(Zep("regedit /s " + (dir_.path() / "paint.reg").string()), 0);
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    EXPECT_EQ(Value(icon, ""), Sz("C:\\Icons\\Bild.ico"));

    // One the suite's viewer set goes back to Paint's; without Paint's path, ",1".
    testing_support::SetupMachine suites;
    ASSERT_EQ(suites.Run(kPlainInstall), kCompleted) << suites.errors_;
    WriteHostFile(suites.dir_.path() / "paint.reg",
                  "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                  "CurrentVersion\\App Paths\\MSPAINT.EXE]\r\n\r\n[" +
                      icon + "]\r\n@=\"C:\\\\PROGRA~1\\\\DOVEK'~1.0\\\\Vistrel.exe,1\"\r\n\r\n");
    ASSERT_EQ(suites.Zep("regedit /s " + (suites.dir_.path() / "paint.reg").string()), 0);
    ASSERT_EQ(suites.RunUninstall(kEntry, kConfirmRemoval), kCompleted) << suites.errors_;
    EXPECT_EQ(suites.Value(icon, ""), Sz(",1"));
}

TEST_F(RemovalRun, TheMachinesOwnFileTypesSurviveARemovalThatDidNotWriteThem) {
    Install(kPlainInstall);
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    RegistryDump after = Registry();
    for (const char* ext : {".bmp", ".dll", ".txt"}) {
        std::string key = DumpKey(std::string("HKEY_CLASSES_ROOT\\") + ext, "");
        EXPECT_EQ(after.at(key), registryBefore_.at(key)) << ext;
    }
    EXPECT_EQ(after.at(DumpKey("HKEY_CLASSES_ROOT\\dllfile", "")), Sz("Anwendungserweiterung"));
}

TEST_F(RemovalRun, EveryFileTypeTheInstallationWroteIsGivenBack) {
    Install();
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    std::vector<std::string> keys = Keys();
    RegistryDump after = Registry();
    for (const char* ext : {"zip", "cab", "icl", "dll", "ico", "bmp", "rle", "wmf", "gif", "jpg",
                            "cur", "diz", "log"}) {
        SCOPED_TRACE(ext);
        std::string cls = DumpKey(std::string("HKEY_CLASSES_ROOT\\") + ext + "File", "");
        std::string dot = DumpKey(std::string("HKEY_CLASSES_ROOT\\.") + ext, "");
        // What the machine had (.bmp, .dll and the class dllfile) is as it was, what it did
        // not have is gone.
        for (const std::string& key : {cls, dot}) {
            bool had = registryBefore_.count(key) > 0;
            EXPECT_EQ(after.count(key) > 0, had) << key;
            if (had) {
                EXPECT_EQ(after.at(key), registryBefore_.at(key)) << key;
            } else {
                EXPECT_EQ(std::find(keys.begin(), keys.end(), key.substr(0, key.size() - 3)),
                          keys.end());
            }
        }
    }
}

TEST_F(RemovalRun, WininitKeepsWhatOthersScheduled) {
    Install(kPlainInstall);
    fs::path wininit = C() / "WINDOWS" / "WININIT.INI";
    WriteHostFile(wininit, "[CombineVxDs]\r\nC:\\X=Y\r\n\r\n[rename]\r\n"
                           "C:\\WINDOWS\\NEU.DLL=C:\\WINDOWS\\ALT.DLL\r\n\r\n");
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    std::string text = ReadHostFile(wininit);
    EXPECT_TRUE(text.starts_with("[CombineVxDs]\r\nC:\\X=Y\r\n\r\n[rename]\r\n"
                                 "C:\\WINDOWS\\NEU.DLL=C:\\WINDOWS\\ALT.DLL\r\n"
                                 "NUL=" +
                                 P + "\\Terms.txt\r\n"))
        << text;
    EXPECT_TRUE(
        text.ends_with("NUL=" + P + "\\Icons\\Globe1.ico\r\nNUL=C:\\WINDOWS\\SHELLI~1\r\n\r\n"))
        << text;
}

TEST_F(RemovalRun, WithoutWininitTheSectionIsExactlyTheRemovalsLines) {
    Install(kPlainInstall);
    ASSERT_EQ(Remove(), kCompleted) << errors_;
    std::string expected = "[rename]\r\n";
    for (const char* name : {"Terms.txt", "Falmir.exe", "Serkel.exe", "Runnel.bat", "Tellmo.exe",
                             "Kanthor.exe", "Vistrel.exe", "Unpaxo.exe", "Zepanu.exe",
                             "Docpaxo.zip", "Errata.txt", "Brundel.exe", "Zepsetup.exe"})
        expected += "NUL=" + P + "\\" + name + "\r\n";
    for (const auto& row : install::kManifest) {
        if (row.folder != install::Folder::Program)
            expected += "NUL=" + P + "\\" + std::string(install::SubfolderOf(row.folder)) +
                        std::string(row.target) + "\r\n";
    }
    expected += "NUL=C:\\WINDOWS\\SHELLI~1\r\n\r\n";
    EXPECT_EQ(WininitText(), expected);
}

TEST_F(RemovalRun, ACopyStartedElsewhereRemovesOnlyTheInstalledFolder) {
    Install(kPlainInstall);
    // Decoys of the suite's names beside a copy of the setup program.
    fs::create_directories(C() / "Downloads");
    fs::copy_file(Host(kFolder + "\\Zepsetup.exe"), C() / "Downloads" / "Zepsetup.exe");
    WriteHostFile(C() / "Downloads" / "Terms.txt", "my terms");
    WriteHostFile(C() / "Downloads" / "Zepanu.exe", "mine");
    ASSERT_EQ(RunOnMachine("C:\\Downloads\\Zepsetup.exe", "UnInst", kConfirmRemoval), kCompleted)
        << errors_;
    EXPECT_EQ(ReadHostFile(C() / "Downloads" / "Terms.txt"), "my terms");
    EXPECT_FALSE(Exists(kFolder + "\\Terms.txt"));
    EXPECT_EQ(WininitText().find("DOWNLO"), std::string::npos) << WininitText();
    Boot();
    EXPECT_TRUE(fs::exists(C() / "Downloads" / "Zepanu.exe"));
    EXPECT_FALSE(Exists(kFolder + "\\Zepsetup.exe"));
}

TEST_F(RemovalRun, TheDistributionStartedWithUnInstRemovesTheInstalledCopy) {
    Install(kPlainInstall);
    ASSERT_EQ(Run(kConfirmRemoval, "UnInst"), kCompleted) << errors_;
    EXPECT_FALSE(Exists(kFolder + "\\Terms.txt"));
    EXPECT_TRUE(fs::exists(dist_ / "Terms.tx_"));
}

TEST_F(RemovalRun, TheListOfRemovablePrograms) {
    std::string out;
    ASSERT_EQ(Zep("uninstall --list", &out), 0);
    EXPECT_EQ(out, "");
    Install(kPlainInstall);
    ASSERT_EQ(Zep("uninstall --list", &out), 0);
    EXPECT_EQ(out, "Zepanu03DE\tDovek’s Zepanu's 1.0\n");
    EXPECT_EQ(Zep("uninstall Nichts", &out), 1);
    EXPECT_NE(out.find("no such removable program"), std::string::npos) << out;
}

} // namespace
