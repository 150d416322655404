// The removal windows in this process: a click behind the progress window while the
// removal runs is ignored, and the removal runs once to its end.
#include "forms/input.h"
#include "forms/runtime.h"
#include "support/ui_fixture.h"
#include "uninstall/KillPrBar.h"
#include "uninstall/UnInstall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using testing_support::UiTest;

// Clicks "Ja" and "Nein!" of the confirmation the first time the progress window lets
// queued input through, as a user clicking behind it would.
class ClicksBehind : public forms::headless::HeadlessBackend {
public:
    using HeadlessBackend::HeadlessBackend;
    bool DeliverWaitingInput() override {
        if (!clicked && uninstall::KillPrBar.Loaded()) {
            clicked = true;
            forms::UserClick(uninstall::UnInstall->Command1);
            forms::UserClick(uninstall::UnInstall->Command2);
        }
        return HeadlessBackend::DeliverWaitingInput();
    }
    bool clicked = false;
};

class RemovalWindow : public UiTest {
protected:
    RemovalWindow() { ::setenv("ZEPMACHINE", ZEPMACHINE_BIN, 1); }
    ~RemovalWindow() override { ::unsetenv("ZEPMACHINE"); }
};

TEST_F(RemovalWindow, ClicksBehindTheProgressWindowAreIgnored) {
    auto parsed = forms::script::ParseUiScript(
        "click UnInstall.Command1\n"
        "answer ok \"Dovek’s Zepanu wurde erfolgreich von Ihrem System entfernt.\"\n",
        "test.ui");
    auto transcript = std::make_shared<forms::script::Transcript>();
    ClicksBehind backend(std::move(parsed.script), transcript);
    forms::Runtime::Get().SetBackend(&backend);
    EXPECT_EQ(RunProgram([] { uninstall::UnInstall->Show(); }), "");
    forms::Runtime::Get().SetBackend(backend_.get());
    EXPECT_TRUE(backend.clicked);
    const auto& lines = transcript->Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "show KillPrBar"), 1);
    EXPECT_EQ(lines[lines.size() - 2],
              "msgbox 64 \"Dovek’s Zepanu wurde erfolgreich von Ihrem System entfernt.\" -> 1");
    // Nothing was installed, so the group folder is missing and its 4 points are not added.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "progress KillPrBar 96"), 1);
}

} // namespace
