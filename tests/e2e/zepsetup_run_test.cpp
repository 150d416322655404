// The zepsetup binary run headless with UI scripts on fresh machines, from the host and
// through `zepmachine run`.
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteHostFile;

class ZepsetupRun : public ::testing::Test {
protected:
    // Runs zepsetup with arguments, a UI script and the rest of the environment given;
    // returns its exit status, stderr in errors_.
    int Run(const std::string& arguments, const std::string& script,
            const std::string& environment = "ZEPSETUP_UI=headless") {
        WriteHostFile(dir_.path() / "run.ui", script);
        if (!portable::Machine::Exists(machine())) // only the default machine is made on use
            portable::Machine::Create(machine());
        std::string command = "cd " + dir_.path().string() +
                              " && ZEPSETUP_MACHINE=" + machine().string() +
                              " ZEPSETUP_UI_SCRIPT=run.ui " + "ZEPSETUP_TRANSCRIPT=run.log " +
                              environment + " " + ZEPSETUP_BIN + " " + arguments + " 2>errors.txt";
        int status = RunCommand(command);
        errors_ = ReadHostFile(dir_.path() / "errors.txt");
        return status;
    }
    std::string TranscriptText() const { return ReadHostFile(dir_.path() / "run.log"); }
    fs::path machine() const { return dir_.path() / "machine"; }

    TempDir dir_;
    std::string errors_;
};

// Exit status 2: the run ended before anything was installed or removed.
TEST_F(ZepsetupRun, WithoutArgumentsTheInstallationStartsWithTheAgreementPage) {
    EXPECT_EQ(Run("", "close Lizenz\n"), 2) << errors_;
    EXPECT_EQ(TranscriptText(), "show Lizenz\nunload Lizenz\nend\n");
    EXPECT_EQ(Run("uninst", "close Lizenz\n"), 2) << errors_;
}

TEST_F(ZepsetupRun, UnInstStartsTheRemoval) {
    EXPECT_EQ(Run("UnInst", "# removal\nclose UnInstall\n"), 2) << errors_;
    EXPECT_EQ(TranscriptText(), "show UnInstall\nunload UnInstall\nend\n");
}

TEST_F(ZepsetupRun, AnInstalledCopyRunsThroughZepmachine) {
    ASSERT_EQ(
        RunCommand(std::string(ZEPMACHINE_BIN) + " init " + machine().string() + " >/dev/null"), 0);
    fs::copy_file(ZEPSETUP_BIN, machine() / "drive_c" / "Programme" / "ZEPSETUP.EXE");
    WriteHostFile(dir_.path() / "run.ui", "close UnInstall\n");
    std::string out;
    int status = RunCommand("cd " + dir_.path().string() + " && ZEPSETUP_UI=headless " +
                                "ZEPSETUP_UI_SCRIPT=run.ui ZEPSETUP_TRANSCRIPT=run.log " +
                                ZEPMACHINE_BIN + " --machine " + machine().string() +
                                " run 'C:\\Programme\\ZEPSETUP.EXE' UnInst",
                            &out);
    EXPECT_EQ(status, 2) << out;
    EXPECT_EQ(TranscriptText(), "show UnInstall\nunload UnInstall\nend\n");
    RunCommand(std::string(ZEPMACHINE_BIN) + " --machine " + machine().string() + " log", &out);
    EXPECT_NE(out.find("run C:\\Programme\\ZEPSETUP.EXE UnInst"), std::string::npos) << out;
}

TEST_F(ZepsetupRun, AScriptThatDoesNotFitFailsNamingTheStepAndLine) {
    EXPECT_EQ(Run("", "click Lizenz.Command9\n"), 1);
    EXPECT_NE(errors_.find("run.ui:1: step 'click Lizenz.Command9' cannot run: Lizenz has no "
                           "control Command9"),
              std::string::npos)
        << errors_;
    EXPECT_EQ(Run("", "click Lizenz.Command1\n"), 1);
    EXPECT_NE(errors_.find("the script ended while the program waits for input; the program "
                           "shows WillkommenSchirm"),
              std::string::npos)
        << errors_;
    EXPECT_EQ(Run("", "close Lizenz\nclick Lizenz.Command1\n"), 1);
    EXPECT_NE(errors_.find("run.ui:2:"), std::string::npos) << errors_;
}

TEST_F(ZepsetupRun, TheUserInterfaceMustBeOneThatExists) {
    EXPECT_EQ(Run("", "", "ZEPSETUP_UI=tk"), 1);
    EXPECT_NE(errors_.find("no user interface"), std::string::npos) << errors_;
    EXPECT_EQ(Run("", "", "ZEPSETUP_UI=headless ZEPSETUP_UI_SCRIPT="), 1);
    EXPECT_NE(errors_.find("set ZEPSETUP_UI_SCRIPT=FILE"), std::string::npos) << errors_;
    EXPECT_EQ(Run("", "klick Lizenz.X\nclose\nclose Lizenz\n"), 1);
    EXPECT_NE(errors_.find("run.ui:1: unknown step 'klick'"), std::string::npos) << errors_;
    EXPECT_NE(errors_.find("run.ui:2: expected: close FORM"), std::string::npos) << errors_;
    fs::create_directory(dir_.path() / "ordner.ui");
    EXPECT_EQ(Run("", "", "ZEPSETUP_UI=headless ZEPSETUP_UI_SCRIPT=ordner.ui"), 1);
    EXPECT_NE(errors_.find("cannot read the UI script ordner.ui: it is a folder, not a file"),
              std::string::npos)
        << errors_;
}

// A step that cannot run is quoted with control bytes escaped and cut after 60 characters.
TEST_F(ZepsetupRun, AStepThatCannotRunIsQuotedSafely) {
    EXPECT_EQ(Run("", "set Lizenz.Text\xC2\x9B" + std::string(200, 'x') + " 1\n"), 1);
    EXPECT_NE(errors_.find("step 'set Lizenz.Text\\x9B" + std::string(44, 'x') + "...' cannot run"),
              std::string::npos)
        << errors_;
    EXPECT_LT(errors_.size(), 400u) << errors_;
    EXPECT_EQ(errors_.find("\xC2\x9B"), std::string::npos);
}

// With ZEPSETUP_UI unset the program opens windows where there is a display and runs
// headless elsewhere; windows without a display fail with a message, not a crash.
TEST_F(ZepsetupRun, WindowsWhereThereIsADisplay) {
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    EXPECT_EQ(Run("", "close Lizenz\n", noDisplay + "ZEPSETUP_UI=qt"), 1);
    EXPECT_NE(errors_.find("ZEPSETUP_UI=qt: there is no display"), std::string::npos) << errors_;
    EXPECT_NE(errors_.find("ZEPSETUP_UI=headless"), std::string::npos) << errors_;

    EXPECT_EQ(Run("", "close Lizenz\n", noDisplay + "ZEPSETUP_UI="), 2) << errors_;
    EXPECT_EQ(TranscriptText(), "show Lizenz\nunload Lizenz\nend\n") << "headless";

    // A display (Qt's offscreen platform standing in for it): windows, here following the
    // script and recording what was done.
    fs::path recording = dir_.path() / "recorded.ui";
    EXPECT_EQ(Run("", "close Lizenz\n",
                  noDisplay +
                      "DISPLAY=:0 QT_QPA_PLATFORM=offscreen ZEPSETUP_RECORD=" + recording.string()),
              2)
        << errors_;
    EXPECT_EQ(TranscriptText(), "show Lizenz\nunload Lizenz\nend\n");
    EXPECT_NE(ReadHostFile(recording).find("\nclose Lizenz\n"), std::string::npos);

    // A display that cannot be reached.
    EXPECT_EQ(Run("", "close Lizenz\n", noDisplay + "DISPLAY=:987 ZEPSETUP_UI=qt"), 1);
    EXPECT_NE(errors_.find("zepsetup: cannot open windows"), std::string::npos) << errors_;

    // The windows are a module loaded for such a run; one that is not the module is refused
    // with its name, and nothing is installed.
    fs::path bogus = dir_.path() / "bogus.so";
    WriteHostFile(bogus, "not a module");
    EXPECT_EQ(Run("", "close Lizenz\n",
                  noDisplay +
                      "DISPLAY=:0 QT_QPA_PLATFORM=offscreen ZEPSETUP_QT_MODULE=" + bogus.string()),
              1);
    EXPECT_NE(errors_.find("cannot open windows: " + bogus.string()), std::string::npos) << errors_;
}

} // namespace
