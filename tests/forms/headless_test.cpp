// The headless interface: message boxes and their answers, triggered steps, values set
// by a script, closing through the platform, and how a script that does not fit fails.
#include "forms/app_object.h"
#include "forms/controls.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/global_form.h"
#include "forms/msgbox.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "forms/script/ui_script_player.h"
#include "platform/user32.h"
#include "support/ui_fixture.h"

#include <gtest/gtest.h>

namespace {

using testing_support::UiTest;

std::vector<int> answers;
std::vector<forms::UnloadMode> reasons;
int steps = 0;

class Asking : public forms::Form {
public:
    Asking() : Form("Asking") {
        SetCaption("Frage");
        Ask.OnClick = [] {
            answers.push_back(forms::MsgBox("Weiter?", forms::vbInformation + forms::vbYesNo));
            answers.push_back(forms::MsgBox("Fertig", forms::vbInformation));
            forms::End();
        };
        Work.OnClick = [this] {
            for (int i = 1; i <= 3; ++i) {
                Status.SetCaption("Datei " + std::to_string(i));
                ++steps;
                forms::DoEvents();
            }
        };
        Check1.SetValue(forms::vbChecked);
    }
    void Form_QueryUnload(int&, forms::UnloadMode mode) override { reasons.push_back(mode); }

    forms::CommandButton Ask{*this, "Ask"};
    forms::CommandButton Work{*this, "Work"};
    forms::Label Status{*this, "Status"};
    forms::CheckBox Check1{*this, "Check1"};
    forms::TextBox Text1{*this, "Text1"};
    forms::DriveListBox Drive1{*this, "Drive1"};
    forms::DirListBox Dir1{*this, "Dir1"};
};
forms::Global<Asking> Dlg;

class Headless : public UiTest {
protected:
    Headless() {
        answers.clear();
        reasons.clear();
        steps = 0;
        forms::App::SetTitle("Titel");
    }
};

TEST_F(Headless, MessageBoxesTakeTheAnswersInTurn) {
    Script("click Asking.Ask\nanswer no \"Weiter?\"\nanswer ok\n");
    EXPECT_EQ(RunProgram([] { Dlg->Show(); }), "");
    EXPECT_EQ(answers, (std::vector<int>{forms::vbNo, forms::vbOK}));
    EXPECT_EQ(Transcript(), (std::vector<std::string>{"show Asking", "msgbox 68 \"Weiter?\" -> 7",
                                                      "msgbox 64 \"Fertig\" -> 1", "end"}));
}

TEST_F(Headless, AMessageBoxThatDoesNotFitTheScriptStopsTheRun) {
    struct Case {
        const char* script;
        const char* failure;
    } cases[] = {
        {"click Asking.Ask\nclick Asking.Work\n",
         "test.ui:2: step 'click Asking.Work' cannot run: the program shows a message box 68 "
         "\"Weiter?\" first"},
        {"click Asking.Ask\nanswer yes \"Nochmal?\"\n",
         "test.ui:2: step 'answer yes \"Nochmal?\"' cannot run: the program shows a message box "
         "68 \"Weiter?\""},
        {"click Asking.Ask\nanswer ok\n", "has no button for this answer"},
        {"click Asking.Ask\n", "the script ended, but the program shows a message box 68"},
        {"answer ok\n", "test.ui:1: step 'answer ok' cannot run: no message box is shown"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        Script(c.script);
        std::string failure = RunProgram([] { Dlg->Show(); });
        EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
    }
}

TEST_F(Headless, AStepWaitingForACaptionArrivesWhereEventsAreProcessed) {
    Script("click Asking.Work\nwhen Asking.Status \"Datei 2\" close Asking\n");
    EXPECT_EQ(RunProgram([] { Dlg->Show(); }), "");
    // The close came inside the second DoEvents; the loop went on with the window gone.
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(reasons.size(), 1u);
    EXPECT_EQ(Transcript(), (std::vector<std::string>{
                                "show Asking", "caption Asking.Status \"Datei 1\"",
                                "caption Asking.Status \"Datei 2\"", "unload Asking", "end"}));
}

TEST_F(Headless, StepsLeftWhenTheProgramEndsAreReported) {
    Script("close Asking\nclick Asking.Work\n");
    std::string failure = RunProgram([] { Dlg->Show(); });
    EXPECT_NE(failure.find("test.ui:2: step 'click Asking.Work' cannot run: the program has "
                           "ended"),
              std::string::npos)
        << failure;
}

TEST_F(Headless, SetGivesControlsTheirValues) {
    Script("set Asking.Text1 \"Mein Ordner\"\nset Asking.Check1 0\nset Asking.Drive1 a:\n"
           "set Asking.Dir1 C:\\Programme\nclose Asking\n");
    EXPECT_EQ(RunProgram([] {
                  Dlg->Show();
                  Dlg->Text1.OnChange = [] { ++steps; };
                  Dlg->Check1.OnClick = [] { ++steps; };
                  Dlg->Drive1.OnChange = [] { ++steps; };
                  Dlg->Dir1.OnChange = [] {
                      ++steps;
                      EXPECT_EQ(Dlg->Text1.Text(), "Mein Ordner");
                      EXPECT_EQ(Dlg->Check1.Value(), forms::vbUnchecked);
                      EXPECT_EQ(Dlg->Drive1.Drive(), "a:"); // no medium, but a user may pick it
                      EXPECT_EQ(Dlg->Dir1.Path(), "C:\\Programme");
                  };
              }),
              "");
    EXPECT_EQ(steps, 4);

    for (const char* wrong : {"set Asking.Check1 ja\n", "set Asking.Drive1 q:\n",
                              "set Asking.Dir1 C:\\Nirgends\n", "set Asking.Ask 1\n"}) {
        SCOPED_TRACE(wrong);
        Script(wrong);
        EXPECT_NE(RunProgram([] { Dlg->Show(); }).find("test.ui:1: step 'set"), std::string::npos);
    }
}

TEST_F(Headless, WindowsOfTheProgramAreTopLevelWindowsOfThePlatform) {
    Dlg->Show();
    HWND window = Dlg->hWnd();
    ASSERT_NE(window, nullptr);
    char title[32] = {};
    EXPECT_EQ(win::GetWindowTextA(window, title, sizeof title), 5);
    EXPECT_STREQ(title, "Frage");
    EXPECT_TRUE(win::IsWindowVisible(window));
    win::SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(reasons, (std::vector<forms::UnloadMode>{forms::UnloadMode::FormControlMenu}));
    EXPECT_FALSE(Dlg.Loaded());
    EXPECT_FALSE(win::IsWindowVisible(window));
}

// The rule every interface follows: a step the program would act on must become input of
// its window; here a window that never takes any.
TEST_F(Headless, AStepTheProgramWouldActOnFailsWhenItsWindowTakesNoInput) {
    struct Case {
        const char* step;
        const char* failure; // empty: the step passes
    } cases[] = {
        {"click Asking.Work", "cannot run: the window took no input from it"},
        {"click Asking.Check1", "cannot run: the window took no input from it"},
        {"close Asking", "cannot run: the window took no input from it"},
        {"set Asking.Text1 anders", "cannot run: the window took no input from it"},
        {"set Asking.Check1 0", "cannot run: the window took no input from it"},
        {"click Asking.Status", ""},     // no handler: nothing to do
        {"mouseup Asking.Status", ""},   // no handler
        {"mousemove Asking.Status", ""}, // no handler
        {"set Asking.Check1 1", ""},     // already so
        {"set Asking.Text1 \"\"", ""},   // already so
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        Dlg->Show();
        forms::script::UiScriptPlayer player(
            forms::script::ParseUiScript(std::string(c.step) + "\n", "test.ui").script,
            [](const forms::script::Step&, forms::Control&) {
                return forms::script::UiScriptPlayer::Delivery{};
            });
        std::string failure;
        try {
            player.WaitForInput();
        } catch (const forms::BackendFailure& e) {
            failure = e.message();
        }
        EXPECT_EQ(failure.empty(), *c.failure == 0) << failure;
        EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
        forms::Runtime::Get().Reset();
    }
}

} // namespace
