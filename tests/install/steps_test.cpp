// The installation steps one by one, in this process, on a fresh machine with the
// headless interface: what each writes, that running one twice changes nothing more, and
// that a failing statement is reported and the rest of the step still runs.
#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/picture_box.h"
#include "install/DateienKopieren.h"
#include "install/KnotextExVerscheidenes.h"
#include "install/MachShellIcons.h"
#include "install/SysSymboleschreiben.h"
#include "install/TaskBarEx.h"
#include "install/manifest.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "program/program_state.h"
#include "support/szdd_literal.h"
#include "support/ui_fixture.h"
#include "system/WinRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::UiTest;
using testing_support::WriteHostFile;
using WinRegistry::HKCU;
using WinRegistry::HKLM;
using WinRegistry::ReadValue;
using WinRegistry::Value;

class CopyWindow : public forms::Form {
public:
    CopyWindow() : Form("DateinCopy") {
        Picture1.Move(120, 120, 2295, 495);
        DateiName.SetCaption("Datei");
    }
    forms::PictureBox Picture1{*this, "Picture1"};
    forms::Label DateiName{*this, "DateiName"};
};
forms::Global<CopyWindow> Copy;

class Steps : public UiTest {
protected:
    Steps() {
        ::setenv("ZEPMACHINE", ZEPMACHINE_BIN, 1);
        app::ResetProgramState();
    }
    ~Steps() override {
        ::unsetenv("ZEPMACHINE");
        ::unsetenv("ZEPSETUP_MODULE");
        app::ResetProgramState();
    }

    // A distribution of plain files (expansion copies them unchanged), played as the
    // CD-ROM drive D:, with the program started from its root.
    void Distribution() {
        fs::path dist = machine_.temp() / "dist";
        fs::create_directories(dist);
        for (const auto& row : install::kManifest)
            WriteHostFile(dist / std::string(row.packed),
                          testing_support::PackLiterally("neu:" + std::string(row.target)));
        machine_.machine().MapRunOnlyDrive('D', dist);
        ::setenv("ZEPSETUP_MODULE", "D:\\ZEPSETUP.EXE", 1);
    }

    // The program folder with its subfolders, as the target page leaves it.
    void ProgramFolder(const std::string& longPath) {
        for (const char* sub : {"", "\\Doc", "\\Icons"})
            ASSERT_TRUE(win::CreateDirectoryA((longPath + sub).c_str(), nullptr));
        char shortPath[MAX_PATH];
        DWORD n = win::GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH);
        app::ProgDir.assign(shortPath, n);
    }

    std::string Read(WinRegistry::Root root, const char* key, const char* name) {
        return ReadValue(root, key, name).ToString();
    }
};

TEST_F(Steps, TheCopyExpandsEveryRowIntoTheShortFormAndReplacesWhatIsThere) {
    Distribution();
    ProgramFolder("C:\\Mein Programm Ordner");
    ASSERT_EQ(app::ProgDir, "C:\\MEINPR~1");
    WriteHostFile(machine_.DriveC() / "Mein Programm Ordner" / "Terms.txt", "alt");
    Script("");
    EXPECT_TRUE(install::DateienKopieren(Copy->DateiName, Copy->Picture1).empty());

    fs::path folder = machine_.DriveC() / "Mein Programm Ordner";
    EXPECT_EQ(ReadHostFile(folder / "Terms.txt"), "neu:Terms.txt");
    EXPECT_EQ(ReadHostFile(folder / "Errata.txt"), "neu:Errata.txt"); // from errata.tx_
    EXPECT_EQ(ReadHostFile(folder / "Doc" / "Start.htm"), "neu:Start.htm");
    EXPECT_EQ(ReadHostFile(folder / "Icons" / "Globe1.ico"), "neu:Globe1.ico");
    EXPECT_EQ(Copy->DateiName.Caption(), "Globe1.ico");

    std::vector<std::string> progress;
    for (const auto& line : Transcript()) {
        if (line.starts_with("progress "))
            progress.push_back(line.substr(line.rfind(' ') + 1));
    }
    ASSERT_EQ(progress.size(), 56u);
    EXPECT_EQ(progress[0], "1");
    EXPECT_EQ(progress[12], "52");
    EXPECT_EQ(progress[26], "66");
    EXPECT_EQ(progress[31], "76");
    EXPECT_EQ(progress[55], "100");
    // The pause follows every row, the last one included.
    EXPECT_GE(win::GetTickCount(), 56u * 150u);
}

TEST_F(Steps, AFailingStatementIsReportedAndTheStepGoesOn) {
    // Without a program folder every shortcut's target fails; the group is made all the
    // same, and each failure is reported once.
    std::string script;
    for (int i = 0; i < 10; ++i)
        script += "answer ok \"Es ist ein Fehler aufgetreten! Dieser Fehler ist bis jetzt noch "
                  "nie aufgetreten! Bitte schreiben Sie ein Beschreibung der Fehlermeldung an den "
                  "Autor. Die Funktion die den Fehler ausgelöst hat wird abgebrochen, das "
                  "Programm fährt unmittelbar hinter der Fehlerstelle fort. (Fehlernummer: 5)\"\n";
    Script(script);
    install::MachShellIcons();
    DWORD attributes = win::GetFileAttributesA(
        win::ToAnsi("C:\\WINDOWS\\Startmenü\\Programme\\Dovek's Zepanu's 1.0").c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Transcript().size(), 10u);
}

TEST_F(Steps, TheContextMenusTwiceAreTheContextMenusOnce) {
    app::ProgDir = "C:\\PROGRA~1\\ZEPANU";
    // An earlier double-click choice of another kind and type goes.
    WinRegistry::WriteValue(HKLM, "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx",
                            "WordPad per Doppelklick", Value::Long(1));
    WinRegistry::WriteValue(WinRegistry::HKCR, "Unknown\\Shell", "", "openas");
    install::KnotextExVerscheidenes();
    install::KnotextExVerscheidenes();
    const char* flags = "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx";
    EXPECT_TRUE(ReadValue(HKLM, flags, "WordPad per Doppelklick").IsEmpty());
    EXPECT_EQ(Read(HKLM, flags, "NotePad per Doppelklick"), "True");
    EXPECT_EQ(ReadValue(HKLM, flags, "Prompt im Kontextmenü"), Value::Long(1));
    EXPECT_EQ(Read(WinRegistry::HKCR, "Unknown\\Shell", ""), "open");
    EXPECT_EQ(Read(WinRegistry::HKCR, "Drive\\shell\\ZepanuDos\\COMMAND", ""),
              "command.com /k cd \"%1\"");
    EXPECT_EQ(Read(WinRegistry::HKCR, "*\\shell\\ZepanuDirIn\\Command", ""),
              "C:\\PROGRA~1\\ZEPANU\\Zepanu.exe DirIn %1");
    // The four scripts were deleted after their imports.
    EXPECT_EQ(win::GetFileAttributesA("C:\\WINDOWS\\TEMP\\Zepanu.reg"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Steps, TheTaskbarSymbolsAreOnButLoggingOff) {
    app::ProgDir = "C:\\PROGRA~1\\ZEPANU";
    const char* symbols = "SOFTWARE\\Quorvel\\Zepanu\\Task-Leisten Symbole";
    WinRegistry::WriteValue(HKCU, symbols, "Eigenes", "bleibt");
    install::TaskBarEx();
    install::TaskBarEx();
    EXPECT_EQ(ReadValue(HKCU, symbols, "Abmelden"), Value::Long(0));
    EXPECT_EQ(ReadValue(HKCU, symbols, "Window-Killer"), Value::Long(1));
    EXPECT_EQ(Read(HKCU, symbols, "Eigenes"), "bleibt");
    EXPECT_EQ(Read(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Dovek's Zepanu 1.0"),
              "C:\\PROGRA~1\\ZEPANU\\Tellmo.exe LoadMe");
}

TEST_F(Steps, TheIconDepthDecidesTheRestartQuestion) {
    app::ProgDir = "C:\\PROGRA~1\\ZEPANU";
    const char* metrics = "Control Panel\\desktop\\WindowMetrics";
    install::SysSymboleschreiben();
    EXPECT_TRUE(app::IconsWritten);
    EXPECT_FALSE(app::IconDepthWas16) << "absent before";
    EXPECT_EQ(Read(HKCU, metrics, "Shell Icon BPP"), "16");
    EXPECT_EQ(Read(WinRegistry::HKCR, "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon",
                   "Full"),
              "C:\\PROGRA~1\\ZEPANU\\Icons\\Symbols.icl,11");
    // Once it is 16, the next run sees it.
    install::SysSymboleschreiben();
    EXPECT_TRUE(app::IconDepthWas16);
    app::IconDepthWas16 = false;
    WinRegistry::WriteValue(HKCU, metrics, "Shell Icon BPP", "8");
    install::SysSymboleschreiben();
    EXPECT_FALSE(app::IconDepthWas16);
}

} // namespace
