// The installation run end to end: the distribution's setup program on a fresh machine,
// driven by UI scripts through the headless interface, and the machine afterwards.
#include "install/MachShellIcons.h"
#include "install/manifest.h"
#include "install_expectations.h"
#include "support/setup_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using install_expectations::Expected;
using testing_support::DumpKey;
using testing_support::kToOptions;
using testing_support::ReadHostFile;
using testing_support::RegistryDump;
using testing_support::SetupRun;
using testing_support::WriteHostFile;
using namespace testing_support::exit_status;

// The default program folder and its short form on a fresh machine.
const std::string kFolder = testing_support::kDefaultFolder;
const std::string P = "C:\\PROGRA~1\\DOVEK'~1.0";
const std::string W = "C:\\WINDOWS";
const std::string kRecordKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepsetup";

constexpr const char* kCompletedText = "Setup wurde erfolgreich abgeschlossen!";
constexpr const char* kRestart =
    "Die optischen Aktualisierungen werden erst nach einem Neustart von Windows abgeschlossen. "
    "Soll Windows jetzt neu gestartet werden?";
constexpr const char* kCancelQuestion =
    "Setup wurde noch nicht vollständig ausgeführt! Wenn Sie jetzt abbrechen, können Sie das "
    "Programm wahrscheinlich nicht ausführen. Möchten Sie trotzdem abbrechen?";
constexpr const char* kExists = "Dieser Ordner existiert bereits!";

constexpr const char* kNoOptions = "set ProgEinstellungen.Check1 0\n"
                                   "set ProgEinstellungen.Check2 0\n"
                                   "set ProgEinstellungen.Check3 0\n";

// From the start to the options page, a step there, then the answer to the message box
// that ends the run.
std::string ToOptionsThen(const std::string& step, const char* answer, const char* message) {
    return std::string(kToOptions) + step + "\nanswer " + answer + " \"" + message + "\"\n";
}

class InstallRun : public SetupRun {
protected:
    InstallRun() : before_(Registry()), keysBefore_(Keys()) {}

    // The registry changed exactly as expected: every expected value is in place, and
    // every value added or changed, and every key added, is one of them. The installation's
    // record (its own key, read by the removal) is no change of the machine's settings.
    void ExpectRegistryChanges(const std::vector<Expected>& expected) {
        RegistryDump wanted;
        std::set<std::string> wantedKeys;
        const std::string record =
            DumpKey(kRecordKey, "").substr(0, DumpKey(kRecordKey, "").size() - 3);
        wantedKeys.insert(record);
        for (const auto& e : expected) {
            wanted[DumpKey(e.key, e.name)] = e.data;
            wantedKeys.insert(DumpKey(e.key, "").substr(0, DumpKey(e.key, "").size() - 3));
        }
        RegistryDump after;
        for (const auto& [key, data] : Registry()) {
            if (!key.starts_with(record + "\\"))
                after[key] = data;
        }
        for (const auto& [key, data] : wanted) {
            auto it = after.find(key);
            if (it == after.end())
                ADD_FAILURE() << "missing " << key;
            else
                EXPECT_EQ(it->second, data) << key;
        }
        for (const auto& [key, data] : after) {
            auto was = before_.find(key);
            if ((was == before_.end() || was->second != data) && !wanted.count(key))
                ADD_FAILURE() << "unexpected change " << key << " = " << data;
        }
        for (const auto& [key, data] : before_) {
            if (!after.count(key))
                ADD_FAILURE() << "removed " << key;
        }
        std::set<std::string> keysBefore(keysBefore_.begin(), keysBefore_.end());
        for (const auto& key : Keys()) {
            if (keysBefore.count(key))
                continue;
            bool holdsExpected =
                std::any_of(wantedKeys.begin(), wantedKeys.end(), [&](const std::string& k) {
                    return k == key || k.starts_with(key + "\\");
                });
            EXPECT_TRUE(holdsExpected) << "unexpected key " << key;
        }
    }

    void ExpectRegistryUnchanged() { ExpectRegistryChanges({}); }

    std::vector<Expected> Base() { return install_expectations::Always(P); }

    bool Exists(const std::string& winPath) const { return !Host(winPath).empty(); }

    // Messages in the transcript, in order.
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& line : Transcript()) {
            if (line.starts_with("msgbox "))
                out.push_back(line);
        }
        return out;
    }

    RegistryDump before_;
    std::vector<std::string> keysBefore_;
};

// The cases run under both interfaces: the same scripts give the same transcript and the
// same machine, whether they reach the model directly or as input events in real windows.
class InstallRunUi : public InstallRun, public ::testing::WithParamInterface<const char*> {
protected:
    InstallRunUi() { ui_ = GetParam(); }
};
INSTANTIATE_TEST_SUITE_P(Interfaces, InstallRunUi,
                         ::testing::ValuesIn(testing_support::kInterfaces),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(InstallRunUi, AFullInstallWithEveryOption) {
    ASSERT_EQ(Run(ToOptionsThen("click ProgEinstellungen.Command1", "no", kRestart)),
              kRestartNeeded)
        << errors_;

    // What the user saw: the pages in order, the 56 names and the weights' progress.
    std::vector<std::string> expected = {"show Lizenz",           "unload Lizenz",
                                         "show WillkommenSchirm", "show Setup modal",
                                         "unload Setup",          "show DateinCopy"};
    int progress = 0;
    for (const auto& row : install::kManifest) {
        expected.push_back("caption DateinCopy.DateiName \"" + std::string(row.target) + "\"");
        progress += row.weight;
        expected.push_back("progress DateinCopy " + std::to_string(progress));
    }
    for (const char* line : {"unload DateinCopy", "show ProgEinstellungen modal",
                             "unload ProgEinstellungen", "unload WillkommenSchirm"})
        expected.push_back(line);
    expected.push_back("msgbox 68 \"" + std::string(kRestart) + "\" -> 7");
    expected.push_back("end");
    EXPECT_EQ(Transcript(), expected);

    // Every file of the manifest in its folder, expanded.
    for (const auto& row : install::kManifest) {
        std::string path = kFolder + "\\" + std::string(install::SubfolderOf(row.folder)) +
                           std::string(row.target);
        fs::path host = Host(path);
        ASSERT_FALSE(host.empty()) << path;
        EXPECT_EQ(ReadHostFile(host).substr(0, 4) == "SZDD", false) << path;
        EXPECT_GT(fs::file_size(host), 16u) << path;
    }
    EXPECT_EQ(ReadHostFile(Host(kFolder + "\\Zepsetup.exe")),
              ReadHostFile(fs::path(ZEPSETUP_DIST) / "zepsetup"))
        << "the installed setup program is the distribution's";

    ExpectRegistryChanges(install_expectations::FullInstall(P, W, W));

    // Every shortcut, read by Debian's lnkinfo, starts its program in the short folder.
    std::vector<std::pair<std::string, std::string>> links = {
        {"C:\\WINDOWS\\Desktop\\" + std::string(install::kDesktopShortcut.title) + ".lnk",
         std::string(install::kDesktopShortcut.target)}};
    for (const auto& s : install::kGroupShortcuts)
        links.push_back({"C:\\WINDOWS\\Startmenü\\Programme\\Dovek's Zepanu's 1.0\\" +
                             std::string(s.title) + ".lnk",
                         std::string(s.target)});
    for (const auto& [link, target] : links) {
        fs::path host = Host(link);
        ASSERT_FALSE(host.empty()) << link;
        std::string info;
        std::string quoted = host.string();
        for (size_t at = quoted.find('\''); at != std::string::npos; at = quoted.find('\'', at + 4))
            quoted.replace(at, 1, "'\\''");
        ASSERT_EQ(testing_support::RunCommand("lnkinfo '" + quoted + "'", &info), 0) << link;
        EXPECT_NE(info.find("Local path\t\t\t: " + P + "\\" + target + "\n"), std::string::npos)
            << link << "\n"
            << info;
    }
    EXPECT_EQ(links.size(), 10u);

    // The icon refresh scheduled the icon cache and the setup copy for deletion.
    EXPECT_EQ(WininitText(), "[RENAME]\r\nNUL=C:\\WINDOWS\\SHELLI~1\r\n"
                             "NUL=C:\\~SETUP.T\\zepsetup.exe\r\n\r\n");
    std::string log;
    Zep("log", &log);
    EXPECT_NE(log.find("WM_WININICHANGE"), std::string::npos) << log;
}

} // namespace

namespace {

TEST_F(InstallRun, CancelRightAwayOnTheOptionsPage) {
    ASSERT_EQ(Run(ToOptionsThen("click ProgEinstellungen.Command2", "ok", kCompletedText)),
              kCompleted)
        << errors_;
    // The installation proper is complete; no option is written.
    ExpectRegistryChanges(Base());
    EXPECT_TRUE(Exists(kFolder + "\\Icons\\Globe1.ico"));
    EXPECT_EQ(WininitText(), "");
}

TEST_F(InstallRun, ClosingTheOptionsPageEndsAsCancelDoes) {
    ASSERT_EQ(Run(ToOptionsThen("close ProgEinstellungen", "ok", kCompletedText)), kCompleted)
        << errors_;
    ExpectRegistryChanges(Base());
    EXPECT_EQ(Transcript().back(), "end");
}

TEST_F(InstallRun, NoOptionBoxTicked) {
    ASSERT_EQ(Run(std::string(kToOptions) + kNoOptions + "click ProgEinstellungen.Command1\n" +
                  "answer ok \"" + kCompletedText + "\"\n"),
              kCompleted)
        << errors_;
    std::vector<Expected> expected = Base();
    for (int i = 0; i < 13; ++i) {
        auto row = install_expectations::FileType(i, P, W, W);
        expected.insert(expected.end(), row.begin(), row.end());
    }
    auto verb = install_expectations::FolderVerb(P);
    expected.insert(expected.end(), verb.begin(), verb.end());
    ExpectRegistryChanges(expected);
    EXPECT_EQ(WininitText(), "");
}

// The file-type boxes alone (no other option): only the ticked rows are written, each
// with its own flag; box 13 writes no script.
class FileTypeChoice : public InstallRun, public ::testing::WithParamInterface<std::vector<int>> {};

TEST_P(FileTypeChoice, OnlyTheTickedRowsAreWritten) {
    std::string untick;
    for (int i = 0; i < 14; ++i) {
        const auto& keep = GetParam();
        if (std::find(keep.begin(), keep.end(), i) == keep.end())
            untick += "set ProgEinstellungen.DateiTypenCheck(" + std::to_string(i) + ") 0\n";
    }
    ASSERT_EQ(Run(std::string(kToOptions) + untick + kNoOptions +
                  "click ProgEinstellungen.Command1\nanswer ok \"" + kCompletedText + "\"\n"),
              kCompleted)
        << errors_;
    std::vector<Expected> expected = Base();
    for (int i : GetParam()) {
        auto rows = i == 13 ? install_expectations::FolderVerb(P)
                            : install_expectations::FileType(i, P, W, W);
        expected.insert(expected.end(), rows.begin(), rows.end());
    }
    ExpectRegistryChanges(expected);
    std::string log;
    Zep("log", &log);
    size_t imports = 0;
    for (size_t at = log.find("regedit /s"); at != std::string::npos;
         at = log.find("regedit /s", at + 1))
        ++imports;
    size_t rows = std::count_if(GetParam().begin(), GetParam().end(), [](int i) { return i < 13; });
    EXPECT_EQ(imports, rows) << "one script per file type, none for the folder verb";
}

INSTANTIATE_TEST_SUITE_P(Boxes, FileTypeChoice,
                         ::testing::Values(std::vector<int>{0}, std::vector<int>{13},
                                           std::vector<int>{2, 3, 4}, std::vector<int>{}),
                         [](const auto& info) {
                             std::string name = "Only";
                             for (int i : info.param)
                                 name += "_" + std::to_string(i);
                             return info.param.empty() ? std::string("None") : name;
                         });

} // namespace

namespace {

TEST_F(InstallRun, OnA256ColourScreenTheDesktopUpdateIsNotOffered) {
    ASSERT_EQ(Zep("display --bits 8 >/dev/null"), 0);
    ASSERT_EQ(Run(ToOptionsThen("click ProgEinstellungen.Command1", "ok", kCompletedText)),
              kCompleted)
        << errors_;
    auto lines = Transcript();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "caption ProgEinstellungen.Check3 \"Dovek’s Desktop-Aktualisierung "
                        "installieren (Nur bei mehr als 256 Farben!)\""),
              lines.end());
    std::vector<Expected> expected = install_expectations::FullInstall(P, W, W);
    // No system icons, no refresh: the dll row's icon stays.
    auto icons = install_expectations::SystemIcons(P);
    std::erase_if(expected, [&](const Expected& e) {
        return std::any_of(icons.begin(), icons.end(), [&](const Expected& i) {
            return DumpKey(i.key, i.name) == DumpKey(e.key, e.name);
        });
    });
    auto dll = install_expectations::FileType(3, P, W, W);
    expected.insert(expected.end(), dll.begin(), dll.end());
    ExpectRegistryChanges(expected);
    EXPECT_EQ(WininitText(), "");

    // The box cannot be ticked again.
    testing_support::SetupMachine again;
    EXPECT_EQ(again.Zep("display --bits 8 >/dev/null"), 0);
    EXPECT_EQ(again.Run(std::string(kToOptions) + "set ProgEinstellungen.Check3 1\n"), 1);
    EXPECT_NE(again.errors_.find("ProgEinstellungen.Check3 is disabled"), std::string::npos)
        << again.errors_;
}

TEST_F(InstallRun, IconDepthAlready16EndsWithoutTheRestartQuestion) {
    WriteHostFile(dir_.path() / "bpp.reg",
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\desktop\\WindowMetrics]\r\n"
                  "\"Shell Icon BPP\"=\"16\"\r\n\r\n");
    ASSERT_EQ(Zep("regedit /s " + (dir_.path() / "bpp.reg").string()), 0);
    before_ = Registry();
    ASSERT_EQ(Run(ToOptionsThen("click ProgEinstellungen.Command1", "ok", kCompletedText)),
              kCompleted)
        << errors_;
    ExpectRegistryChanges(install_expectations::FullInstall(P, W, W));
    // Icons were written and refreshed twice.
    std::string log;
    Zep("log", &log);
    size_t broadcasts = 0;
    for (size_t at = log.find("WM_WININICHANGE"); at != std::string::npos;
         at = log.find("WM_WININICHANGE", at + 1))
        ++broadcasts;
    EXPECT_EQ(broadcasts, 4u) << log;
    EXPECT_EQ(PendingRestart(), "");
}

TEST_F(InstallRun, TheRestartQuestionAnsweredYesRestarts) {
    ASSERT_EQ(Run(ToOptionsThen("click ProgEinstellungen.Command1", "yes", kRestart)),
              kRestartStarted)
        << errors_;
    EXPECT_EQ(PendingRestart(), "reboot");
    ExpectRegistryChanges(install_expectations::FullInstall(P, W, W));
}

TEST_F(InstallRun, TheRestartQuestionAnsweredNoEndsSilently) {
    ASSERT_EQ(Run(ToOptionsThen("click ProgEinstellungen.Command1", "no", kRestart)),
              kRestartNeeded)
        << errors_;
    EXPECT_EQ(PendingRestart(), "");
    EXPECT_EQ(Messages().size(), 1u) << "no completion message after No";
}

TEST_F(InstallRun, DecliningTheAgreementChangesNothing) {
    ASSERT_EQ(Run("click Lizenz.Command2\n"
                  "answer ok \"Leider können Sie das Programm nur ausführen wenn Sie diesen "
                  "Bedingungen zustimmen!\"\n"),
              kNothingDone)
        << errors_;
    EXPECT_EQ(Transcript(), (std::vector<std::string>{
                                "show Lizenz",
                                "msgbox 64 \"Leider können Sie das Programm nur ausführen wenn "
                                "Sie diesen Bedingungen zustimmen!\" -> 1",
                                "end"}));
    ExpectRegistryUnchanged();

    ASSERT_EQ(Run("close Lizenz\n"), kNothingDone) << errors_;
    EXPECT_EQ(Transcript(), (std::vector<std::string>{"show Lizenz", "unload Lizenz", "end"}));
    ExpectRegistryUnchanged();
}

TEST_P(InstallRunUi, TheTargetPageRefusesWhatItCannotUse) {
    const std::string device = "Dieses gerät ist im Moment leider nicht verfügbar. "
                               "Vergewissern Sie sich das ein Datenträger im Laufwerk ist.";
    const std::string name =
        "Ein Ordner darf keines der folgenden Zeichen enthalten: \\\\ / : * ? < > |";
    std::string script = "click Lizenz.Command1\n"
                         "mouseup WillkommenSchirm.WeiterLabel\n"
                         // The CD-ROM drive (the distribution).
                         "set Setup.Drive1 d:\n"
                         "click Setup.WeiterCommand\n"
                         "answer ok \"Sie haben Ihr CD-ROM Laufwerk ausgewählt! Sorry, das geht "
                         "nicht.\"\n"
                         "set Setup.Drive1 c:\n"
                         "set Setup.Dir1 \"C:\\\\Programme\"\n"
                         // An empty name names the parent folder, which exists.
                         "set Setup.Text1 \"\"\n"
                         "click Setup.WeiterCommand\n"
                         "answer ok \"" +
                         std::string(kExists) +
                         "\"\n"
                         "set Setup.Text1 \"Zubehör\"\n"
                         "click Setup.WeiterCommand\n"
                         "answer ok \"" +
                         kExists +
                         "\"\n"
                         "set Setup.Text1 \"a*b\"\n"
                         "click Setup.WeiterCommand\n"
                         "answer ok \"" +
                         name +
                         "\"\n"
                         "set Setup.Text1 \"gibt\\\\es nicht\"\n"
                         "click Setup.WeiterCommand\n"
                         "answer ok \"" +
                         name +
                         "\"\n"
                         // The empty floppy drive: the message, then back to C:.
                         "set Setup.Drive1 a:\n"
                         "answer ok \"" +
                         device +
                         "\"\n"
                         "set Setup.Text1 \"Eigener Ordner\"\n"
                         "click Setup.WeiterCommand\n"
                         "click ProgEinstellungen.Command2\n"
                         "answer ok \"" +
                         kCompletedText + "\"\n";
    fs::create_directories(C() / "Programme" / "Zubehör");
    ASSERT_EQ(Run(script), kCompleted) << errors_;
    // Nothing was created by the refused clicks; the last went to the root of C:.
    EXPECT_FALSE(Exists("C:\\Programme\\a*b"));
    EXPECT_FALSE(Exists("C:\\Programme\\gibt"));
    EXPECT_TRUE(Exists("C:\\Eigener Ordner\\Icons\\Globe1.ico"));
    EXPECT_EQ(*Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                     "Uninstall\\Zepanu03DE",
                     "UninstallString"),
              testing_support::Sz("C:\\EIGENE~1\\Zepsetup.exe UnInst"));
}

TEST_F(InstallRun, ClosingTheTargetPageReturnsToAFreshOne) {
    ASSERT_EQ(Run("click Lizenz.Command1\n"
                  "mouseup WillkommenSchirm.WeiterLabel\n"
                  "set Setup.Text1 \"Anders\"\n"
                  "close Setup\n"
                  "mouseup WillkommenSchirm.WeiterLabel\n"
                  "click Setup.WeiterCommand\n"
                  "click ProgEinstellungen.Command2\n"
                  "answer ok \"" +
                  std::string(kCompletedText) + "\"\n"),
              kCompleted)
        << errors_;
    EXPECT_FALSE(Exists("C:\\Programme\\Anders"));
    EXPECT_TRUE(Exists(kFolder + "\\Terms.txt"));
}

TEST_P(InstallRunUi, ClosingTheCopyWindowAndGoingOn) {
    ASSERT_EQ(Run(std::string(kToOptions) +
                  "when DateinCopy.DateiName \"Zepanu.exe\" close DateinCopy\n"
                  "answer no \"" +
                  kCancelQuestion +
                  "\"\n"
                  "click ProgEinstellungen.Command2\n"
                  "answer ok \"" +
                  kCompletedText + "\"\n"),
              kCompleted)
        << errors_;
    auto lines = Transcript();
    auto question = std::find_if(lines.begin(), lines.end(),
                                 [](const std::string& l) { return l.starts_with("msgbox 68"); });
    ASSERT_NE(question, lines.end());
    // The question came during the copy, which then went on with the next file.
    EXPECT_EQ(*(question - 1), "progress DateinCopy 33");
    EXPECT_EQ(*(question + 1), "caption DateinCopy.DateiName \"Vistrel.exe\"");
    EXPECT_TRUE(Exists(kFolder + "\\Icons\\Globe1.ico"));
    ExpectRegistryChanges(Base());
    EXPECT_TRUE(Exists("C:\\WINDOWS\\Startmenü\\Programme\\Dovek's Zepanu's 1.0\\Hilfe.lnk"));
}

TEST_P(InstallRunUi, CancellingDuringTheCopyRecyclesTheFolder) {
    ASSERT_EQ(Run(ToOptionsThen("when DateinCopy.DateiName \"Zepanu.exe\" close DateinCopy", "yes",
                                kCancelQuestion)),
              kCancelledDuringCopy)
        << errors_;
    auto lines = Transcript();
    EXPECT_EQ(lines.back(), "end");
    EXPECT_TRUE(lines[lines.size() - 2].starts_with("msgbox 68")) << "nothing after the answer";
    EXPECT_FALSE(Exists(kFolder));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Startmenü\\Programme\\Dovek's Zepanu's 1.0"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Desktop\\Dovek's Zepanu's 1.0 - Zentrale.lnk"));
    // Only the acceptance was written.
    ExpectRegistryChanges({install_expectations::Always(P).front()});
    std::string bin;
    ASSERT_EQ(Zep("recycle list", &bin), 0);
    EXPECT_NE(bin.find(kFolder), std::string::npos) << bin;
}

// Packed files missing, cut short, with a damaged signature or algorithm byte, empty, a
// folder or a FIFO: none is installed under its name, the copy goes on with the bar and
// names them in one message, the journal has a line each, and the run ends with errors.
TEST_F(InstallRun, PackedFilesThatAreNotWholeAreNamedOnceAndNeverInstalled) {
    fs::path dist = CopyDistribution();
    fs::remove(dist / "Bin2.ic_");
    fs::resize_file(dist / "Falmir.ex_", fs::file_size(dist / "Falmir.ex_") / 2);
    std::string tellmo = ReadHostFile(dist / "Tellmo.ex_");
    tellmo[0] = 'X';
    WriteHostFile(dist / "Tellmo.ex_", tellmo);
    std::string unpaxo = ReadHostFile(dist / "Unpaxo.ex_");
    unpaxo[8] = 'B';
    WriteHostFile(dist / "Unpaxo.ex_", unpaxo);
    WriteHostFile(dist / "Runnel.ba_", "");
    fs::remove(dist / "Terms.tx_");
    fs::create_directory(dist / "Terms.tx_");
    fs::remove(dist / "errata.tx_");
    ASSERT_EQ(::mkfifo((dist / "errata.tx_").c_str(), 0600), 0);
    const char* broken[] = {"Terms.txt",  "Falmir.exe", "Runnel.bat", "Tellmo.exe",
                            "Unpaxo.exe", "Errata.txt", "Bin2.ico"};
    std::string message = "Die folgenden Dateien konnten nicht installiert werden:\\n";
    for (const char* name : broken)
        message += std::string("\\n") + name;
    ASSERT_EQ(Run(std::string(kToOptions) + "answer ok\n" +
                  "click ProgEinstellungen.Command2\n"
                  "answer ok \"" +
                  kCompletedText + "\"\n"),
              kCompletedWithErrors)
        << errors_;
    auto messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].starts_with("msgbox 16 \"" + message + "\\n\\n")) << messages[0];
    auto lines = Transcript();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "progress DateinCopy 100"), lines.end());
    for (const char* name : broken) {
        std::string folder = std::string(name) == "Bin2.ico" ? kFolder + "\\Icons" : kFolder;
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
        EXPECT_NE(errors_.find(std::string("\\") + name + " from D:"), std::string::npos) << name;
    }
    EXPECT_TRUE(Exists(kFolder + "\\Icons\\Globe1.ico"));
    std::string journal;
    ASSERT_EQ(Zep("log", &journal), 0);
    size_t noted = 0;
    for (size_t at = 0; (at = journal.find("zepsetup: cannot install", at)) != std::string::npos;
         ++at)
        ++noted;
    EXPECT_EQ(noted, std::size(broken));
    for (const auto& entry : fs::recursive_directory_iterator(C()))
        EXPECT_NE(entry.path().extension(), ".TMP") << entry.path();
}

TEST_F(InstallRun, ASecondInstallationIntoAnotherFolder) {
    std::string options = "click ProgEinstellungen.Command1\n"
                          "answer no \"" +
                          std::string(kRestart) + "\"\n";
    ASSERT_EQ(Run(std::string(kToOptions) + options), kRestartNeeded) << errors_;
    // The first installation raised the icon depth to 16: no restart question this time.
    ASSERT_EQ(Run(std::string(kToOptions) + "answer ok \"" + kExists +
                  "\"\n"
                  "set Setup.Text1 \"Zweite Kopie\"\n"
                  "click Setup.WeiterCommand\n"
                  "click ProgEinstellungen.Command1\n"
                  "answer ok \"" +
                  kCompletedText + "\"\n"),
              kCompleted)
        << errors_;
    // Everything points at the newest copy; the restart lines stand once.
    ExpectRegistryChanges(install_expectations::FullInstall("C:\\PROGRA~1\\ZWEITE~1", W, W));
    EXPECT_EQ(WininitText(), "[RENAME]\r\nNUL=C:\\WINDOWS\\SHELLI~1\r\n"
                             "NUL=C:\\~SETUP.T\\zepsetup.exe\r\n\r\n");
    EXPECT_TRUE(Exists(kFolder + "\\Zepsetup.exe"));
    EXPECT_TRUE(Exists("C:\\Programme\\Zweite Kopie\\Zepsetup.exe"));
}

} // namespace

namespace {

// Every file and folder of a drive (host path relative to it; folders end in '/') with
// the size and a hash of its contents; a shortcut's copy of its target's times (bytes 28
// to 51 of its header) is left out, as the two runs made their files at other times.
std::map<std::string, std::string> Files(const fs::path& drive) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(drive)) {
        std::string rel = e.path().lexically_relative(drive).string();
        if (e.is_directory()) {
            files[rel + "/"] = "";
            continue;
        }
        std::string bytes = ReadHostFile(e.path());
        if (e.path().extension() == ".lnk" && bytes.size() >= 52)
            bytes.replace(28, 24, 24, '\0');
        files[rel] = std::to_string(bytes.size()) + " bytes, hash " +
                     std::to_string(std::hash<std::string>{}(bytes));
    }
    return files;
}

TEST_F(InstallRun, ARecordingMadeInTheWindowsReplaysHeadlessToTheSameMachine) {
    // The user's actions as input events in real windows: another parent folder and name,
    // the copy window closed during the copy (and the question answered No), options
    // changed; recorded while they happen.
    ui_ = "qt";
    fs::path recording = dir_.path() / "recorded.ui";
    environment_ = "ZEPSETUP_RECORD=" + recording.string();
    ASSERT_EQ(Run("click Lizenz.Command1\n"
                  "mouseup WillkommenSchirm.WeiterLabel\n"
                  "set Setup.Dir1 \"C:\\\\\"\n"
                  "set Setup.Text1 \"Aufgezeichnet\"\n"
                  "click Setup.WeiterCommand\n"
                  "when DateinCopy.DateiName \"Zepanu.exe\" close DateinCopy\n"
                  "answer no\n"
                  "set ProgEinstellungen.Check2 0\n"
                  "set ProgEinstellungen.DateiTypenCheck(3) 0\n"
                  "click ProgEinstellungen.Command1\n"
                  "answer no\n"),
              kRestartNeeded)
        << errors_;
    std::string recorded = ReadHostFile(recording);
    EXPECT_NE(recorded.find("\nwhen DateinCopy.DateiName \"Zepanu.exe\" close DateinCopy\n"),
              std::string::npos)
        << "the close came during the copy, after that file's name\n"
        << recorded;

    testing_support::SetupMachine replay;
    ASSERT_EQ(replay.Run(recorded), kRestartNeeded) << replay.errors_ << "\n" << recorded;
    EXPECT_EQ(replay.Transcript(), Transcript());
    EXPECT_EQ(replay.Registry(), Registry());
    EXPECT_EQ(replay.Keys(), Keys());
    auto replayed = Files(replay.C()), original = Files(C());
    for (const auto& [path, what] : original)
        EXPECT_EQ(replayed[path], what) << path;
    for (const auto& [path, what] : replayed)
        EXPECT_TRUE(original.count(path)) << "only in the replay: " << path;
    EXPECT_TRUE(Exists("C:\\Aufgezeichnet\\Icons\\Globe1.ico"));
}

} // namespace
