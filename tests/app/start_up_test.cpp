// Start-up: the system folder first, then the run the argument text asks for.
#include "app/start_up.h"
#include "forms/app_object.h"
#include "forms/runtime.h"
#include "support/ui_fixture.h"
#include "system/Setup_API.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using testing_support::UiTest;

// Remembers SysDir at the moment each window is shown.
class SysDirWatch : public forms::headless::HeadlessBackend {
public:
    using HeadlessBackend::HeadlessBackend;
    void FormShown(forms::Form& form, bool modal) override {
        shown.push_back(form.Name() + " " + Setup_API::SysDir);
        HeadlessBackend::FormShown(form, modal);
    }
    std::vector<std::string> shown;
};

class StartUp : public UiTest {
protected:
    StartUp() { machine_.machine().SetSetting("system_dir", "C:\\WIN95\\SYSTEM"); }
    ~StartUp() override { ::unsetenv("ZEPSETUP_COMMAND_LINE"); }

    std::vector<std::string> Start(const std::string& commandLine) {
        ::setenv("ZEPSETUP_COMMAND_LINE", commandLine.c_str(), 1);
        Setup_API::SysDir.clear();
        auto transcript = std::make_shared<forms::script::Transcript>();
        SysDirWatch watch(forms::script::UiScript{}, transcript);
        forms::Runtime::Get().SetBackend(&watch);
        app::Main();
        forms::Runtime::Get().Reset();
        forms::Runtime::Get().SetBackend(backend_.get());
        return watch.shown;
    }
};

TEST_F(StartUp, OnlyExactlyUnInstStartsTheRemoval) {
    EXPECT_EQ(Start("C:\\PROGRA~1\\ZEPANU~1\\ZEPSETUP.EXE UnInst"),
              (std::vector<std::string>{"UnInstall C:\\WIN95\\SYSTEM"}));
    EXPECT_EQ(Start("\"D:\\Setup Files\\Zepsetup.exe\"   UnInst"),
              (std::vector<std::string>{"UnInstall C:\\WIN95\\SYSTEM"}));
    for (const char* line :
         {"D:\\ZEPSETUP.EXE", "D:\\ZEPSETUP.EXE uninst", "D:\\ZEPSETUP.EXE UNINST",
          "D:\\ZEPSETUP.EXE UnInst ", "D:\\ZEPSETUP.EXE /UnInst", "D:\\ZEPSETUP.EXE UnInst x",
          "D:\\ZEPSETUP.EXE \"UnInst\""}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(Start(line), (std::vector<std::string>{"Lizenz C:\\WIN95\\SYSTEM"}));
    }
}

TEST(ArgumentText, IsTheCommandLineAfterTheProgramAndItsBlanks) {
    using forms::App::ArgumentText;
    EXPECT_EQ(ArgumentText("ZEPSETUP.EXE"), "");
    EXPECT_EQ(ArgumentText("ZEPSETUP.EXE  \tUnInst "), "UnInst ");
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\z.exe\" a b"), "a b");
    EXPECT_EQ(ArgumentText("\"unclosed"), "");
}

} // namespace
