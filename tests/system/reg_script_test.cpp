// Registry scripts: the program's numbered streams, BeginRegScript/ImportRegScript through the
// machine's registry editor, and WriteFileTypeScript. A stand-in editor copies each script
// before handing it to the real one, so the exact bytes can be checked.
#include "system/Setup_API.h"
#include "system/WinRegistry.h"
#include "system/file_streams.h"

#include "forms/run_time_error.h"
#include "platform/kernel32.h"
#include "support/error_of.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::TestMachine;
using testing_support::WriteHostFile;
using WinRegistry::HKCR;
using WinRegistry::HKLM;
using WinRegistry::Value;

using testing_support::ErrorOf;

class RegScript : public ::testing::Test {
protected:
    void SetUp() override {
        editor_ = m.temp() / "editor.sh";
        captured_ = m.temp() / "captured.reg";
        // Called as: editor --machine ROOT regedit /s PATH
        WriteHostFile(editor_, "#!/bin/sh\ncp \"$2/drive_c/WINDOWS/TEMP/Zepanu.reg\" \"" +
                                   captured_.string() + "\" && exec " ZEPMACHINE_BIN " \"$@\"\n");
        ::chmod(editor_.c_str(), 0755);
        ::setenv("ZEPMACHINE", editor_.c_str(), 1);
        ::setenv("ZEPSETUP_MODULE", "C:\\Programme\\Zepsetup.exe", 1); // started from here
    }
    void TearDown() override {
        ::unsetenv("ZEPMACHINE");
        ::unsetenv("ZEPSETUP_MODULE");
        FileStreams::Close(WinRegistry::kScriptStream);
    }

    bool ScriptExists() { return fs::exists(m.DriveC() / "WINDOWS" / "TEMP" / "Zepanu.reg"); }

    int ProcessStarts() {
        int starts = 0;
        for (const auto& e : m.machine().ReadJournal())
            starts += e.text.find("started: regedit /s C:\\WINDOWS\\TEMP\\Zepanu.reg") !=
                      std::string::npos;
        return starts;
    }

    TestMachine m;
    fs::path editor_;
    fs::path captured_;
};

constexpr const char* kZipCommand = "C:\\PROGRA~1\\ZEPANU\\Zepanu.exe ZIPIn %1";
constexpr const char* kZipIcon = "C:\\PROGRA~1\\ZEPANU\\Icons\\Symbols.icl,0";

void RegisterZip() {
    Setup_API::WriteFileTypeScript(0, "zip", "ZIP-Datei entpacken - Zepanu", "Zip-Dateien",
                                   kZipCommand, kZipIcon);
}

TEST_F(RegScript, TheZipScriptByteForByte) {
    RegisterZip();
    EXPECT_EQ(ReadHostFile(captured_), "REGEDIT4\r\n"
                                       "\r\n"
                                       "[HKEY_CLASSES_ROOT\\zipFile]\r\n"
                                       "@=\"Zip-Dateien\"\r\n"
                                       "\"EditFlags\"=hex:d2,01,00,00\r\n"
                                       "\r\n"
                                       "[HKEY_CLASSES_ROOT\\zipFile\\Shell]\r\n"
                                       "@=\"\"\r\n"
                                       "\r\n"
                                       "[HKEY_CLASSES_ROOT\\zipFile\\Shell\\Zip-Dateien]\r\n"
                                       "@=\"ZIP-Datei entpacken - Zepanu\"\r\n"
                                       "\r\n"
                                       "[HKEY_CLASSES_ROOT\\.zip]\r\n"
                                       "@=\"zipFile\"\r\n"
                                       "\r\n");
    EXPECT_FALSE(ScriptExists());
    EXPECT_FALSE(FileStreams::IsOpen(WinRegistry::kScriptStream));
}

TEST_F(RegScript, TheZipTypeEndsUpComplete) {
    RegisterZip();
    auto read = [](const char* key, const char* name = "") {
        return WinRegistry::ReadValue(HKCR, key, name);
    };
    EXPECT_EQ(read("zipFile"), Value("Zip-Dateien"));
    EXPECT_EQ(read("zipFile", "EditFlags"), Value(std::vector<std::uint8_t>{0xd2, 1, 0, 0}));
    EXPECT_EQ(read("zipFile\\Shell"), Value("Zip-Dateien")); // the verb is the default
    EXPECT_EQ(read("zipFile\\Shell\\Zip-Dateien"), Value("ZIP-Datei entpacken - Zepanu"));
    EXPECT_EQ(read("zipFile\\Shell\\Zip-Dateien\\Command"), Value(kZipCommand));
    EXPECT_EQ(read("zipFile\\DefaultIcon"), Value(kZipIcon));
    EXPECT_EQ(read(".zip"), Value("zipFile"));
    EXPECT_EQ(read(".zip\\ShellEx\\{BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}"),
              Value("{7376D660-C583-11d0-A3A5-00C04FD706EC}"));
    EXPECT_EQ(ProcessStarts(), 1);
}

TEST_F(RegScript, UmlautsArriveAsTheCodePagesCharacters) {
    Setup_API::WriteFileTypeScript(0, "diz", "Programmbeschreibung öffnen - Zepanu", "Diz-Datei",
                                   "C:\\WINDOWS\\Notepad.exe %1", "x,46");
    EXPECT_NE(ReadHostFile(captured_).find("@=\"Programmbeschreibung \xF6"
                                           "ffnen - Zepanu\"\r\n"),
              std::string::npos);
    EXPECT_EQ(WinRegistry::ReadValue(HKCR, "dizFile\\Shell\\Diz-Datei", ""),
              Value("Programmbeschreibung öffnen - Zepanu"));
}

TEST_F(RegScript, AMissingTextDoesNothingAtAll) {
    Setup_API::WriteFileTypeScript(0, "zip", "ZIP-Datei entpacken - Zepanu", "Zip-Dateien",
                                   kZipCommand);
    Setup_API::WriteFileTypeScript(0, std::nullopt, "c", "t", "cmd", "icon");
    EXPECT_EQ(ProcessStarts(), 0);
    EXPECT_FALSE(fs::exists(captured_));
    EXPECT_TRUE(WinRegistry::ReadValue(HKCR, ".zip", "").IsEmpty());
    EXPECT_TRUE(WinRegistry::ReadValue(HKCR, "zipFile", "").IsEmpty());
}

TEST_F(RegScript, RemoveModeTakesBothKeysWithEverythingBelow) {
    RegisterZip();
    WinRegistry::WriteValue(HKCR, ".zip\\OpenWithList\\Other.exe", "", Value("someone else's"));
    WinRegistry::WriteValue(HKCR, "ZipFolder", "", Value("not ours"));
    Setup_API::WriteFileTypeScript(-1, "zip");
    EXPECT_TRUE(WinRegistry::ReadValue(HKCR, "zipFile", "").IsEmpty());
    EXPECT_TRUE(WinRegistry::ReadValue(HKCR, "zipFile\\Shell\\Zip-Dateien\\Command", "").IsEmpty());
    EXPECT_TRUE(WinRegistry::ReadValue(HKCR, ".zip\\OpenWithList\\Other.exe", "").IsEmpty());
    EXPECT_EQ(WinRegistry::ReadValue(HKCR, "ZipFolder", ""), Value("not ours"));
    Setup_API::WriteFileTypeScript(-1, "zip"); // not registered: nothing happens
    EXPECT_EQ(ProcessStarts(), 1);
}

TEST_F(RegScript, OwnLinesWithEscapedQuotesAndTheStartFolderMadeCurrent) {
    ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\WINDOWS\\SYSTEM"));
    WinRegistry::BeginRegScript();
    FileStreams::PrintLine(1, "[HKEY_CLASSES_ROOT\\Directory\\shell\\ZepanuDos]");
    FileStreams::PrintLine(1, "@=\"DOS &Ebene - Zepanu\"");
    FileStreams::PrintLine(1, "");
    FileStreams::PrintLine(1, "[HKEY_CLASSES_ROOT\\Drive\\shell\\ZepanuDos\\COMMAND]");
    FileStreams::PrintLine(1, "@=\"command.com /k cd \\\"%1\\\"\"");
    WinRegistry::ImportRegScript();
    EXPECT_EQ(WinRegistry::ReadValue(HKCR, "drive\\SHELL\\zepanudos\\command", ""),
              Value("command.com /k cd \"%1\""));
    EXPECT_EQ(WinRegistry::ReadValue(HKCR, "Directory\\shell\\ZepanuDos", ""),
              Value("DOS &Ebene - Zepanu"));
    char folder[MAX_PATH];
    win::GetCurrentDirectoryA(sizeof folder, folder);
    EXPECT_STREQ(folder, "C:\\Programme");
    EXPECT_FALSE(ScriptExists());
    // The key keeps the case it was written with.
    std::string exported;
    testing_support::RunCommand(std::string(ZEPMACHINE_BIN) + " --machine '" + m.root().string() +
                                    "' reg query 'HKCR\\Drive\\shell\\ZepanuDos'",
                                &exported);
    EXPECT_EQ(exported, "[COMMAND]\n");
}

TEST_F(RegScript, FailuresAreRunTimeErrorsAndLeaveNoStreamOpen) {
    EXPECT_EQ(ErrorOf([] { FileStreams::PrintLine(1, "no script open"); }), 52);
    EXPECT_EQ(ErrorOf([] { WinRegistry::ImportRegScript(); }), 52);

    ::setenv("ZEPMACHINE", (m.temp() / "no-such-editor").c_str(), 1);
    WinRegistry::BeginRegScript();
    EXPECT_EQ(ErrorOf([] { WinRegistry::ImportRegScript(); }), 53);
    EXPECT_FALSE(FileStreams::IsOpen(1));
    EXPECT_TRUE(ScriptExists()); // never imported, so never deleted
    ::setenv("ZEPMACHINE", editor_.c_str(), 1);
    WinRegistry::BeginRegScript(); // replaces the old script
    WinRegistry::ImportRegScript();
    EXPECT_EQ(ReadHostFile(captured_), "REGEDIT4\r\n\r\n\r\n");
}

TEST(FileStreams, NumberedOutputStreams) {
    TestMachine m;
    EXPECT_EQ(ErrorOf([] { FileStreams::OpenForOutput(0, "C:\\x.txt"); }), 52);
    EXPECT_EQ(ErrorOf([] { FileStreams::OpenForOutput(2, "C:\\Nowhere\\x.txt"); }), 76);
    EXPECT_EQ(ErrorOf([] { FileStreams::OpenForOutput(2, "C:\\a|b.txt"); }), 64); // bad file name
    EXPECT_EQ(ErrorOf([] { FileStreams::PrintLine(2, "not open"); }), 52);        // ...or number
    EXPECT_EQ(forms::ErrorDescription(52), "Bad file name or number");
    EXPECT_EQ(forms::ErrorDescription(64), "Bad file name");
    FileStreams::OpenForOutput(2, "C:\\WINDOWS\\TEMP\\x.txt");
    EXPECT_EQ(ErrorOf([] { FileStreams::OpenForOutput(2, "C:\\y.txt"); }), 55);
    FileStreams::PrintLine(2, "Grüße");
    FileStreams::PrintLine(2, "");
    FileStreams::Close(2);
    FileStreams::Close(2); // closing twice is harmless
    EXPECT_EQ(ReadHostFile(m.DriveC() / "WINDOWS" / "TEMP" / "x.txt"), "Gr\xFC\xDF"
                                                                       "e\r\n\r\n");
}

} // namespace
