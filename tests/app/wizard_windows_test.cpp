// The wizard's windows in this process: the welcome animation, the target page's start,
// the copy window closed by Windows, and the options page's colour rule.
#include "app/DateinCopy.h"
#include "app/ProgEinstellungen.h"
#include "app/Setup.h"
#include "app/WillkommenSchirm.h"
#include "forms/input.h"
#include "forms/runtime.h"
#include "platform/kernel32.h"
#include "platform/portable/windows/display.h"
#include "program/program_state.h"
#include "support/ui_fixture.h"
#include "system/WinRegistry.h"

#include <gtest/gtest.h>

namespace {

using testing_support::UiTest;

class Wizard : public UiTest {
protected:
    Wizard() { app::ResetProgramState(); }
    ~Wizard() override { app::ResetProgramState(); }
    void Screen(int width, int height, int bits = 16, int planes = 1) {
        portable::Display d;
        d.width = width;
        d.height = height;
        d.bitsPerPixel = bits;
        d.planes = planes;
        portable::WriteDisplay(machine_.machine(), d);
    }
};

TEST_F(Wizard, TheLinesFlyInOneAfterTheOtherThenTheLinkShows) {
    Screen(640, 480); // 9600 twips wide
    app::WillkommenSchirmForm& w = *app::WillkommenSchirm;
    EXPECT_EQ(w.Width(), 9600);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(w.AnimText(i).Left(), 9600) << i;
    // Each line: eight moves of 1100 twips to 800, then the tick on which it arrives.
    for (int tick = 1; tick <= 8; ++tick) {
        ASSERT_TRUE(forms::Runtime::Get().RunNextTimer());
        EXPECT_EQ(w.AnimText(0).Left(), 9600 - 1100 * tick);
    }
    ASSERT_TRUE(forms::Runtime::Get().RunNextTimer());
    EXPECT_EQ(w.AnimText(0).Left(), 120);
    EXPECT_EQ(app::AnimStep, 1);
    for (int tick = 10; tick < 99; ++tick) {
        ASSERT_TRUE(forms::Runtime::Get().RunNextTimer());
        EXPECT_FALSE(w.WeiterLabel.Visible()) << "tick " << tick;
    }
    EXPECT_NE(forms::WhyNoInput(w.WeiterLabel), "");
    ASSERT_TRUE(forms::Runtime::Get().RunNextTimer());
    EXPECT_TRUE(w.WeiterLabel.Visible());
    EXPECT_EQ(app::AnimStep, 11);
    EXPECT_FALSE(forms::Runtime::Get().RunNextTimer()) << "the timer has stopped";
    const float finals[] = {120, 120, 120, 120, 240, 240, 240, 240, 240, 345, 345};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(w.AnimText(i).Left(), finals[i]) << i;
    // 3 ms a tick on the machine's clock.
    EXPECT_EQ(win::GetTickCount(), 99u * 3u);
}

TEST_F(Wizard, TheTargetPageStartsAtTheProgramFilesFolder) {
    app::SetupForm& page = *app::Setup;
    EXPECT_EQ(page.Drive1.Drive(), "c:");
    EXPECT_EQ(page.Dir1.Path(), "C:\\Programme");
    EXPECT_EQ(page.Text1.Text(), "Dovek's Zepanu's 1.0");
}

TEST_F(Wizard, WithoutAProgramFilesFolderThePageOpensOnTheWindowsDrive) {
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion";
    for (const char* value : {"", "Q:\\Programme", "C:\\Gibt es nicht"}) {
        SCOPED_TRACE(value);
        WinRegistry::WriteValue(WinRegistry::HKLM, key, "ProgramFilesDir", value);
        app::SetupForm& page = *app::Setup;
        EXPECT_EQ(page.Drive1.Drive(), "c:");
        EXPECT_EQ(page.Dir1.Path(), "C:\\");
        forms::Unload(page);
    }
}

TEST_F(Wizard, FewColoursTakeTheDesktopUpdateAway) {
    struct Case {
        int bits, planes;
        bool offered;
    } cases[] = {{16, 1, true}, {24, 1, true}, {8, 1, false}, {1, 1, false}, {1, 4, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.planes) + " planes");
        Screen(1024, 768, c.bits, c.planes);
        app::ProgEinstellungenForm& page = *app::ProgEinstellungen;
        EXPECT_EQ(page.Check3.Enabled(), c.offered);
        EXPECT_EQ(page.Check3.Value(), c.offered ? 1 : 0);
        EXPECT_EQ(page.Check3.Caption().find("(Nur bei mehr als 256 Farben!)") != std::string::npos,
                  !c.offered);
        forms::Unload(page);
    }
}

TEST_F(Wizard, WindowsClosingTheCopyWindowAsksNothingAndEndsTheRun) {
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Ziel", nullptr));
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Ziel\\Doc", nullptr));
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Ziel\\Icons", nullptr));
    app::ProgDir = "C:\\ZIEL";
    // Windows shuts down while the fifth file is expanded.
    class ShuttingDown : public forms::headless::HeadlessBackend {
    public:
        using HeadlessBackend::HeadlessBackend;
        bool DeliverWaitingInput() override {
            auto* copy = forms::Runtime::Get().FindLoaded("DateinCopy");
            auto* label = copy ? copy->FindControl("DateiName") : nullptr;
            if (label && label->Caption() == "Tellmo.exe" && !closed) {
                closed = true;
                forms::UserClose(*static_cast<forms::Form*>(copy), forms::UnloadMode::AppWindows);
            }
            return false;
        }
        bool closed = false;
    };
    auto transcript = std::make_shared<forms::script::Transcript>();
    ShuttingDown backend({}, transcript);
    forms::Runtime::Get().SetBackend(&backend);
    EXPECT_EQ(RunProgram([] { app::DateinCopy->Show(); }), "");
    forms::Runtime::Get().SetBackend(backend_.get());
    EXPECT_TRUE(backend.closed);
    for (const auto& line : transcript->Lines())
        EXPECT_FALSE(line.starts_with("msgbox")) << line;
    EXPECT_EQ(app::RunOutcome, app::Outcome::CancelledDuringCopy);
    EXPECT_EQ(transcript->Lines().back(), "end");
}

} // namespace
