// A machine with settings of the user's own through whole cycles: the installation keeps
// what it replaces, the removal gives it back, a value the user changed in between stays,
// an installation without a record loses only the suite's values, and of two
// installations side by side each removal takes its own.
#include "support/setup_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testing_support::DumpKey;
using testing_support::kConfirmRemoval;
using testing_support::kFullInstall;
using testing_support::kToOptions;
using testing_support::RegistryDump;
using testing_support::SetupRun;
using testing_support::Sz;
using testing_support::WriteHostFile;

const std::string kFolder = testing_support::kDefaultFolder;
const std::string kCr = "HKEY_CLASSES_ROOT\\";
const std::string kMetrics = "HKEY_CURRENT_USER\\Control Panel\\desktop\\WindowMetrics";
const std::string kShellIcons =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
const std::string kRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kPrinters = kCr + "CLSID\\{2227A280-3AEA-1069-A2DE-08002B30309D}\\DefaultIcon";

// The user's own: another viewer for .bmp, .gif on an existing giffile class with a verb
// and icon of its own, .zip and .log elsewhere, Folder and Printers icons, two shell icon
// slots (one the installation writes, one it does not), large icons at 8 bits, another
// default verb for unregistered files, a program at log-on, and the zone of London.
constexpr const char* kUserSettings = R"(REGEDIT4

[HKEY_CLASSES_ROOT\.bmp]
@="Betrachter.Bild"

[HKEY_CLASSES_ROOT\Betrachter.Bild\shell\open\command]
@="C:\\Tools\\Viewer.exe %1"

[HKEY_CLASSES_ROOT\.gif]
@="giffile"
"Content Type"="image/gif"

[HKEY_CLASSES_ROOT\giffile]
@="GIF-Bild"
"EditFlags"=hex:00,00,01,00

[HKEY_CLASSES_ROOT\giffile\DefaultIcon]
@="C:\\Tools\\Viewer.exe,3"

[HKEY_CLASSES_ROOT\giffile\shell]
@="ansehen"

[HKEY_CLASSES_ROOT\giffile\shell\ansehen]
@="&Ansehen"

[HKEY_CLASSES_ROOT\giffile\shell\ansehen\command]
@="C:\\Tools\\Viewer.exe /v %1"

[HKEY_CLASSES_ROOT\.zip]
@="Packer.Archiv"

[HKEY_CLASSES_ROOT\.log]
@="txtfile"

[HKEY_CLASSES_ROOT\Folder\DefaultIcon]
@="C:\\Icons\\Ordner.ico,0"

[HKEY_CLASSES_ROOT\CLSID\{2227A280-3AEA-1069-A2DE-08002B30309D}\DefaultIcon]
@="C:\\Icons\\Drucker.ico,0"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\explorer\Shell Icons]
"3"="C:\\Icons\\Ordner.ico,0"
"34"="C:\\Icons\\Desktop.ico,0"

[HKEY_CURRENT_USER\Control Panel\desktop\WindowMetrics]
"Shell Icon Size"="48"
"Shell Icon BPP"="8"

[HKEY_CLASSES_ROOT\Unknown\Shell]
@="bearbeiten"

[HKEY_CLASSES_ROOT\Unknown\shell\bearbeiten\command]
@="C:\\Tools\\Edit.exe %1"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"Uhr"="C:\\Tools\\Uhr.exe"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\TimeZoneInformation]
"Bias"=hex:00,00,00,00
"StandardName"="GMT Normalzeit"
"DaylightName"="GMT Sommerzeit"
"DaylightBias"=hex:c4,ff,ff,ff
"StandardStart"=hex:00,00,0a,00,00,00,05,00,02,00,00,00,00,00,00,00
"DaylightStart"=hex:00,00,03,00,00,00,05,00,01,00,00,00,00,00,00,00

)";

std::string NoOption() {
    std::string script = kToOptions;
    for (int i = 0; i < 14; ++i)
        script += "set ProgEinstellungen.DateiTypenCheck(" + std::to_string(i) + ") 0\n";
    return script + "set ProgEinstellungen.Check1 0\nset ProgEinstellungen.Check2 0\n"
                    "set ProgEinstellungen.Check3 0\nclick ProgEinstellungen.Command1\n"
                    "answer ok\n";
}

// The values of key and every key below it.
RegistryDump Subtree(const RegistryDump& all, const std::string& key) {
    std::string prefix = DumpKey(key, "");
    prefix.resize(prefix.size() - 3);
    RegistryDump part;
    for (const auto& [k, v] : all) {
        if (k.starts_with(prefix + "\\"))
            part[k] = v;
    }
    return part;
}

class UserSettings : public SetupRun {
protected:
    void Import(const std::string& name, const std::string& script) {
        fs::path file = dir_.path() / name;
        WriteHostFile(file, script);
        ASSERT_EQ(Zep("regedit /s " + file.string()), 0);
    }
    void Install(const std::string& script) {
        int status = Run(script);
        ASSERT_TRUE(status == 0 || status == 9) << errors_;
    }
    void Remove() {
        ASSERT_EQ(RunUninstall("Zepanu03DE", kConfirmRemoval), 0) << errors_;
        ASSERT_EQ(Zep("boot >/dev/null"), 0);
    }
};

class FullCycle : public UserSettings, public ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(Options, FullCycle, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Every" : "None"; });

TEST_P(FullCycle, EverythingTheUserHadComesBack) {
    Import("mine.reg", kUserSettings);
    const RegistryDump before = Registry();
    const std::vector<std::string> keysBefore = Keys();
    Install(GetParam() ? kFullInstall : NoOption());
    if (GetParam()) {
        ASSERT_EQ(Value(kCr + ".bmp", ""), Sz("bmpFile")) << "the installation replaced it";
    }
    // The icon refresh leaves the size the user chose.
    EXPECT_EQ(Value(kMetrics, "Shell Icon Size"), Sz("48"));
    Remove();

    const RegistryDump after = Registry();
    for (const std::string& key :
         {kCr + ".bmp", kCr + "Betrachter.Bild", kCr + ".gif", kCr + "giffile", kCr + ".zip",
          kCr + ".log", kCr + ".dll", kCr + "dllfile", kCr + "Folder", kPrinters, kShellIcons,
          kMetrics, kCr + "Unknown", kRun,
          std::string("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control")}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(Subtree(after, key), Subtree(before, key));
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(Keys(), keysBefore);
}

TEST_F(UserSettings, WhatTheUserChangedAfterTheInstallationStays) {
    Import("mine.reg", kUserSettings);
    const RegistryDump before = Registry();
    Install(kFullInstall);
    Import("changed.reg", R"(REGEDIT4

[HKEY_CLASSES_ROOT\.bmp]
@="Anderer.Betrachter"

[HKEY_CLASSES_ROOT\Folder\DefaultIcon]
@="C:\\Icons\\Neu.ico,0"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\explorer\Shell Icons]
"3"="C:\\Icons\\Neu3.ico,0"

[HKEY_CURRENT_USER\Control Panel\desktop\WindowMetrics]
"Shell Icon BPP"="24"

[HKEY_CLASSES_ROOT\Unknown\Shell]
@="drucken"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"Dovek's Zepanu 1.0"="C:\\Tools\\Tellmo.exe LoadMe"

)");
    Remove();
    EXPECT_EQ(Value(kCr + ".bmp", ""), Sz("Anderer.Betrachter"));
    EXPECT_EQ(Value(kCr + "Folder\\DefaultIcon", ""), Sz("C:\\Icons\\Neu.ico,0"));
    EXPECT_EQ(Value(kShellIcons, "3"), Sz("C:\\Icons\\Neu3.ico,0"));
    EXPECT_EQ(Value(kMetrics, "Shell Icon BPP"), Sz("24"));
    EXPECT_EQ(Value(kCr + "Unknown\\Shell", ""), Sz("drucken"));
    EXPECT_EQ(Value(kRun, "Dovek's Zepanu 1.0"), Sz("C:\\Tools\\Tellmo.exe LoadMe"));
    // What the user left alone is as it was before the installation.
    const RegistryDump after = Registry();
    for (const std::string& key : {kCr + ".gif", kCr + "giffile", kCr + "Drive", kPrinters}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(Subtree(after, key), Subtree(before, key));
    }
    EXPECT_EQ(Value(kShellIcons, "34"), Sz("C:\\Icons\\Desktop.ico,0"));
    EXPECT_FALSE(Value(kShellIcons, "15"));
}

TEST_F(UserSettings, WithoutARecordOnlyTheSuitesValuesGo) {
    Import("mine.reg", kUserSettings);
    Install(kFullInstall);
    // As an installation made before the record existed left the machine.
    Import("old.reg", "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepsetup]\r\n\r\n");
    Remove();
    // The user's own, never written by the installation, stays.
    EXPECT_EQ(Value(kPrinters, ""), Sz("C:\\Icons\\Drucker.ico,0"));
    EXPECT_EQ(Value(kShellIcons, "34"), Sz("C:\\Icons\\Desktop.ico,0"));
    EXPECT_EQ(Value(kMetrics, "Shell Icon Size"), Sz("48"));
    EXPECT_EQ(Value(kRun, "Uhr"), Sz("C:\\Tools\\Uhr.exe"));
    EXPECT_EQ(Value(kCr + "giffile\\shell\\ansehen\\command", ""),
              Sz("C:\\Tools\\Viewer.exe /v %1"));
    EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\TimeZoneInformation",
                    "StandardName"),
              Sz("GMT Normalzeit"));
    // The suite's values are gone: what pointed into the program folder, and what equals
    // what the installation writes; where no earlier value is known, Windows' own.
    EXPECT_FALSE(Value(kShellIcons, "3"));
    EXPECT_FALSE(Value(kShellIcons, "15"));
    EXPECT_EQ(Value(kCr + "Folder\\DefaultIcon", ""), Sz("C:\\WINDOWS\\SYSTEM\\shell32.dll,3"));
    EXPECT_EQ(Value(kCr + "Unknown\\Shell", ""), Sz("openas"));
    EXPECT_FALSE(Value(kMetrics, "Shell Icon BPP"));
    EXPECT_FALSE(Value(kCr + "giffile", ""));
    EXPECT_FALSE(Value(kCr + "giffile\\shell\\Bild", ""));
    EXPECT_FALSE(Value(kCr + ".zip", ""));
    EXPECT_FALSE(Value(kCr + "zipFile", ""));
}

TEST_F(UserSettings, TheTimeZoneIsWrittenOnlyWhereItIsWesternEurope) {
    const std::string europe =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones\\W. Europe";
    const std::string active =
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\TimeZoneInformation";
    const std::string forget = "REGEDIT4\r\n\r\n[" + europe + "]\r\n\"Display\"=-\r\n\r\n";
    // Western Europe, as a fresh machine is: the script puts the display name back.
    Import("forget.reg", forget);
    Install(NoOption());
    Remove();
    EXPECT_EQ(Value(europe, "Display"),
              Sz("(GMT+01:00) Berlin, Stockholm, Rom, Bern, Brüssel, Wien, Amsterdam"));

    // London: nothing of the time zone is written.
    testing_support::SetupMachine london;
    fs::path file = london.dir_.path() / "mine.reg";
    WriteHostFile(file, std::string(kUserSettings) + forget.substr(10));
    ASSERT_EQ(london.Zep("regedit /s " + file.string()), 0);
    auto zone = Subtree(london.Registry(), active);
    ASSERT_EQ(london.Run(NoOption()), 0) << london.errors_;
    ASSERT_EQ(london.RunUninstall("Zepanu03DE", kConfirmRemoval), 0) << london.errors_;
    EXPECT_EQ(Subtree(london.Registry(), active), zone);
    EXPECT_FALSE(london.Value(europe, "Display"));
}

// A removal killed after the registry cleanup (on the real clock, in the pause before the
// icons) and started again from the installed copy, as a user would: the record is still
// there, and the second run gives back the rest.
TEST_F(UserSettings, ARemovalCutShortAndRunAgainGivesEverythingBack) {
    Import("mine.reg", kUserSettings);
    const RegistryDump before = Registry();
    Install(kFullInstall);
    ASSERT_EQ(Zep("clock real >/dev/null"), 0);
    WriteHostFile(dir_.path() / "cut.ui", kConfirmRemoval);
    const fs::path log = dir_.path() / "cut.log";
    std::string pid;
    ASSERT_EQ(testing_support::RunCommand(
                  "cd " + dir_.path().string() +
                      " && ZEPSETUP_UI=headless ZEPSETUP_UI_SCRIPT=cut.ui ZEPSETUP_TRANSCRIPT=" +
                      log.string() + " setsid " + ZEPMACHINE_BIN + " --machine " + Root().string() +
                      " uninstall Zepanu03DE >/dev/null 2>&1 & echo $!",
                  &pid),
              0);
    // The bar stands at 90 for 300 ms after the registry cleanup.
    bool cut = false;
    for (int i = 0; i < 2000 && !cut; ++i) {
        std::string text = fs::exists(log) ? testing_support::ReadHostFile(log) : "";
        if (text.find("progress KillPrBar 90\n") != std::string::npos) {
            testing_support::RunCommand("kill -9 -" + pid.substr(0, pid.find('\n')));
            cut = text.find("progress KillPrBar 91") == std::string::npos;
            break;
        }
        ::usleep(2000);
    }
    if (!cut || !Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepsetup", "SysSymboleschreiben"))
        GTEST_SKIP() << "the removal could not be stopped between its steps on this machine";
    EXPECT_EQ(Value(kShellIcons, "15").has_value(), true) << "the icons were not given back yet";
    ASSERT_EQ(Zep("clock virtual >/dev/null"), 0);

    ASSERT_EQ(RunOnMachine(kFolder + "\\Zepsetup.exe", "UnInst", kConfirmRemoval), 0) << errors_;
    ASSERT_EQ(Zep("boot >/dev/null"), 0);
    EXPECT_EQ(Registry(), before);
}

TEST_F(UserSettings, TwoInstallationsSideBySideEachRemovesItsOwn) {
    const std::string second = "C:\\Programme\\Dovek's Zepanu's 1.0 (2)";
    Install(kFullInstall);
    Install(std::string(kToOptions)
                .insert(std::string(kToOptions).rfind("click"),
                        "set Setup.Text1 \"Dovek's Zepanu's 1.0 (2)\"\n") +
            "click ProgEinstellungen.Command2\nanswer ok\n");
    const std::string entry =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zepanu03DE";
    const auto named = Value(entry, "UninstallString");
    ASSERT_TRUE(named);

    // The first copy removes the first installation and leaves the entry to the second.
    ASSERT_EQ(RunOnMachine(kFolder + "\\Zepsetup.exe", "UnInst", kConfirmRemoval), 0) << errors_;
    EXPECT_TRUE(Host(kFolder + "\\Zepanu.exe").empty());
    EXPECT_FALSE(Host(second + "\\Zepanu.exe").empty());
    EXPECT_EQ(Value(entry, "UninstallString"), named);
    EXPECT_EQ(WininitText().find("1.0 (2)"), std::string::npos);
    ASSERT_EQ(Zep("boot >/dev/null"), 0);
    EXPECT_TRUE(Host(kFolder + "\\Zepsetup.exe").empty());
    EXPECT_FALSE(Host(second + "\\Zepsetup.exe").empty());

    // The entry's removal then takes the second and the entry.
    ASSERT_EQ(RunUninstall("Zepanu03DE", kConfirmRemoval), 0) << errors_;
    ASSERT_EQ(Zep("boot >/dev/null"), 0);
    EXPECT_TRUE(Host(second + "\\Zepsetup.exe").empty());
    EXPECT_FALSE(Value(entry, "UninstallString"));
}

} // namespace
