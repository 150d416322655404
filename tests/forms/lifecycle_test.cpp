// The life cycle of windows: loading on first use, modal nesting, unloading with the
// close request and its reason, End from any depth, the end of the program.
#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/input.h"
#include "forms/runtime.h"
#include "support/ui_fixture.h"

#include <gtest/gtest.h>

namespace {

using forms::UnloadMode;
using testing_support::UiTest;

struct Counters {
    int loads = 0;
    int queries = 0;
    std::vector<UnloadMode> reasons;
    bool refuse = false;
    bool afterModal = false;
} counters;

class MainForm : public forms::Form {
public:
    MainForm() : Form("Main") {
        Text1.SetText("designed");
        Open.SetCaption("Open");
        Open.OnClick = [] { ShowDialog(); };
    }
    void Form_Load() override { ++counters.loads; }
    void Form_QueryUnload(int& cancel, UnloadMode mode) override {
        ++counters.queries;
        counters.reasons.push_back(mode);
        cancel = counters.refuse ? 1 : 0;
    }
    static void ShowDialog();

    forms::TextBox Text1{*this, "Text1"};
    forms::CommandButton Open{*this, "Open"};
};
forms::Global<MainForm> Main;

class DialogForm : public forms::Form {
public:
    DialogForm() : Form("Dialog") {
        Ok.OnClick = [this] { forms::Unload(*this); };
        Quit.OnClick = [] { forms::End(); };
    }
    void Form_QueryUnload(int&, UnloadMode) override { ++counters.queries; }

    forms::CommandButton Ok{*this, "Ok"};
    forms::CommandButton Quit{*this, "Quit"};
};
forms::Global<DialogForm> Dialog;

void MainForm::ShowDialog() {
    Dialog->Show(forms::vbModal);
    counters.afterModal = true;
}

class Lifecycle : public UiTest {
protected:
    Lifecycle() { counters = {}; }
};

TEST_F(Lifecycle, FirstUseLoadsOnceAndUnloadStartsAgainFromTheDesign) {
    EXPECT_FALSE(Main.Loaded());
    EXPECT_EQ(Main->Text1.Text(), "designed"); // a property read loads the window
    EXPECT_EQ(counters.loads, 1);
    Main->Text1.SetText("typed");
    Main->Show();
    EXPECT_EQ(counters.loads, 1);

    EXPECT_TRUE(forms::Unload(*Main));
    EXPECT_FALSE(Main.Loaded());
    EXPECT_EQ(Main->Text1.Text(), "designed");
    EXPECT_EQ(counters.loads, 2);
    EXPECT_FALSE(Main->Visible());
}

TEST_F(Lifecycle, ModalShowWaitsForTheWindowAndBlocksThoseBehindIt) {
    Script("click Main.Open\nclick Dialog.Ok\nclose Main\n");
    EXPECT_EQ(RunProgram([] { Main->Show(); }), "");
    EXPECT_TRUE(counters.afterModal);
    EXPECT_EQ(Transcript(), (std::vector<std::string>{"show Main", "show Dialog modal",
                                                      "unload Dialog", "unload Main", "end"}));

    counters = {};
    Script("click Main.Open\nclick Main.Open\n");
    std::string failure = RunProgram([] { Main->Show(); });
    EXPECT_NE(failure.find("test.ui:2: step 'click Main.Open' cannot run: Main is behind the "
                           "modal window Dialog"),
              std::string::npos)
        << failure;
    EXPECT_NE(failure.find("the program shows Main, Dialog (modal)"), std::string::npos);
}

TEST_F(Lifecycle, EndInsideANestedModalLoopStopsEverythingWithoutHandlers) {
    Script("click Main.Open\nclick Dialog.Quit\n");
    EXPECT_EQ(RunProgram([] { Main->Show(); }), "");
    EXPECT_FALSE(counters.afterModal);
    EXPECT_EQ(counters.queries, 0);
    EXPECT_FALSE(Main.Loaded());
    EXPECT_FALSE(Dialog.Loaded());
    EXPECT_EQ(Transcript(), (std::vector<std::string>{"show Main", "show Dialog modal", "end"}));
}

TEST_F(Lifecycle, CloseRequestsCarryTheirReasonAndCanBeRefused) {
    Main->Show();
    counters.refuse = true;
    forms::UserClose(*Main);
    forms::UserClose(*Main, UnloadMode::AppWindows);
    forms::UserClose(*Main, UnloadMode::AppTaskManager);
    EXPECT_FALSE(forms::Unload(*Main));
    EXPECT_TRUE(Main.Loaded());
    EXPECT_EQ(counters.reasons,
              (std::vector<UnloadMode>{UnloadMode::FormControlMenu, UnloadMode::AppWindows,
                                       UnloadMode::AppTaskManager, UnloadMode::FormCode}));
    counters.refuse = false;
    forms::UserClose(*Main);
    EXPECT_FALSE(Main.Loaded());
    EXPECT_EQ(Transcript().back(), "unload Main");
}

TEST_F(Lifecycle, TheProgramEndsWhenItsLastWindowIsUnloaded) {
    Script("close Main\n");
    EXPECT_EQ(RunProgram([] { Main->Show(); }), "");
    EXPECT_EQ(Transcript().back(), "end");

    Script("");
    std::string failure = RunProgram([] { Main->Show(); });
    EXPECT_NE(failure.find("the script ended while the program waits for input; the program "
                           "shows Main"),
              std::string::npos)
        << failure;
}

class SelfUnloading : public forms::Form {
public:
    SelfUnloading() : Form("SelfUnloading") {}
    void Form_Load() override {
        ++counters.loads;
        forms::Unload(*this);
    }
};
forms::Global<SelfUnloading> Gone;

TEST_F(Lifecycle, AWindowUnloadedDuringItsLoadIsNotShownOrLoadedAgain) {
    Gone->Show();
    EXPECT_EQ(counters.loads, 1);
    EXPECT_FALSE(Gone.Loaded());
    EXPECT_EQ(Transcript(), (std::vector<std::string>{"unload SelfUnloading"}));
}

TEST_F(Lifecycle, ShowingAVisibleWindowModallyIsError400) {
    Main->Show();
    try {
        Main->Show(forms::vbModal);
        FAIL();
    } catch (const forms::RunTimeError& e) {
        EXPECT_EQ(e.number(), 400);
    }
}

} // namespace
