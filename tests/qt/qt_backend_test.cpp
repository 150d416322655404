// The qt interface's behaviour: input through the widgets (mouse, keyboard, lists) reaches
// the model only where the program processes events; modal windows, End from nested loops,
// the close box with its reason, a close arriving inside DoEvents, timers; UI scripts played
// as input events give the headless transcript; the lists show the machine.
#include "app/WillkommenSchirm.h"
#include "forms/controls.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/headless/headless_backend.h"
#include "forms/msgbox.h"
#include "forms/qt/form_window.h"
#include "forms/qt/label_view.h"
#include "forms/qt/message_box.h"
#include "forms/runtime.h"
#include "forms/timer.h"
#include "platform/kernel32.h"
#include "program/program_state.h"
#include "qt_fixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace {

using testing_support::QtUiTest;

class Dialog : public forms::Form {
public:
    Dialog() : Form("Dialog") {
        SetCaption("Dialog");
        SetBorderStyle(3);
        SetClientSize(6000, 4500);
        Ok.SetCaption("&Weiter");
        Ok.Move(120, 3900, 1200, 375);
        Ok.SetDefault(true);
        Ok.OnClick = [this] { Log("Ok"); };
        Cancel.SetCaption("Abbrechen");
        Cancel.Move(1440, 3900, 1200, 375);
        Cancel.SetCancel(true);
        Cancel.OnClick = [this] { Log("Cancel"); };
        Check.SetCaption("Option");
        Check.Move(120, 120, 2400, 255);
        Check.OnClick = [this] { Log("Check " + std::to_string(Check.Value())); };
        Text.Move(120, 480, 2400, 285);
        Text.OnChange = [this] { Log("Text " + Text.Text()); };
        Drive.Move(120, 840, 2400, 315);
        Drive.OnChange = [this] { Log("Drive " + Drive.Drive()); };
        Dir.Move(120, 1200, 2400, 1800);
        // Not shown in the status line: the folder list is walked through folders the
        // model is set to directly (see UiScriptStepsAsInputEvents...).
        Dir.OnChange = [this] { events.push_back("Dir " + Dir.Path()); };
        Status.Move(3000, 120, 2400, 255);
    }
    void Form_QueryUnload(int& cancel, forms::UnloadMode mode) override {
        Log("QueryUnload " + std::to_string(static_cast<int>(mode)));
        cancel = refuse ? 1 : 0;
        if (refuse)
            --refuse;
    }
    void Log(std::string event) {
        events.push_back(event);
        Status.SetCaption(event);
    }

    forms::CommandButton Ok{*this, "Ok"};
    forms::CommandButton Cancel{*this, "Cancel"};
    forms::CheckBox Check{*this, "Check"};
    forms::TextBox Text{*this, "Text"};
    forms::DriveListBox Drive{*this, "Drive"};
    forms::DirListBox Dir{*this, "Dir"};
    forms::Label Status{*this, "Status"};
    std::vector<std::string> events;
    int refuse = 0;
};

class QtInput : public QtUiTest {
protected:
    // Runs f as soon as Qt processes events (inside the program's waiting or DoEvents).
    static void Soon(std::function<void()> f) { QTimer::singleShot(0, std::move(f)); }
};

TEST_F(QtInput, MouseAndTypingReachTheModelWhereEventsAreProcessed) {
    Dialog d;
    testing_support::DropWindowsOnExit drop;
    d.Show();
    Settle();
    QTest::mouseClick(&Widget(d.Ok), Qt::LeftButton);
    QTest::mouseClick(&Widget(d.Check), Qt::LeftButton);
    EXPECT_TRUE(d.events.empty()) << "nothing reaches the model inside Qt's own dispatch";
    EXPECT_EQ(d.Check.Value(), 0) << "the box shows the model's value, not its own";
    forms::DoEvents();
    EXPECT_EQ(d.events, (std::vector<std::string>{"Ok", "Check 1"}));
    d.events.clear();
    QTest::keyClicks(&Widget(d.Text), "ab");
    forms::DoEvents();
    EXPECT_EQ(d.events, (std::vector<std::string>{"Text a", "Text ab"})) << "Change per key";
    EXPECT_EQ(d.Text.Text(), "ab");
    // The program's own change shows in the box.
    d.Text.SetText("neu");
    EXPECT_EQ(dynamic_cast<QLineEdit&>(Widget(d.Text)).text(), "neu");
}

TEST_F(QtInput, TheListsShowTheMachinesDrivesAndFoldersAndTakeTheUsersChoice) {
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Zubeh\xF6r", nullptr));
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Versteckt", nullptr));
    ASSERT_TRUE(win::SetFileAttributesA("C:\\Versteckt", FILE_ATTRIBUTE_HIDDEN));
    // A link on the host out of the drive is no folder of the machine.
    std::filesystem::create_directory_symlink("/tmp", machine_.DriveC() / "Draussen");
    Dialog d;
    testing_support::DropWindowsOnExit drop;
    d.Show();
    d.Dir.SetPath("C:\\");
    auto& drives = dynamic_cast<QComboBox&>(Widget(d.Drive));
    std::vector<std::string> offered;
    for (int i = 0; i < drives.count(); ++i)
        offered.push_back(drives.itemText(i).toStdString());
    EXPECT_EQ(offered, d.Drive.List());
    Settle();
    auto& folders = dynamic_cast<QListWidget&>(Widget(d.Dir));
    std::vector<std::string> shown;
    for (int i = 0; i < folders.count(); ++i)
        shown.push_back(folders.item(i)->text().toStdString());
    EXPECT_EQ(shown, (std::vector<std::string>{"c:\\", "Programme", "WINDOWS", "Zubehör"}));

    // A folder picked and opened with Enter (a double click does the same, as the UI
    // script tests show); the list then shows its parents and its folders.
    QListWidgetItem* item = folders.item(3);
    QTest::mouseClick(folders.viewport(), Qt::LeftButton, {},
                      folders.visualItemRect(item).center());
    forms::DoEvents();
    EXPECT_EQ(d.Dir.Path(), "C:\\") << "a single click only marks it";
    QTest::keyClick(&folders, Qt::Key_Return);
    forms::DoEvents();
    EXPECT_EQ(d.Dir.Path(), "C:\\Zubehör");
    EXPECT_EQ(folders.count(), 2);
    // Typing a drive's letter in the drive list chooses it.
    QTest::keyClick(&drives, 'a');
    forms::DoEvents();
    EXPECT_EQ(d.Drive.Drive(), "a:");
    EXPECT_EQ(d.events.back(), "Drive a:");
}

TEST_F(QtInput, KeyboardDefaultAndCancelButtonsAccessKeysTabOrderAndSpace) {
    Dialog d;
    testing_support::DropWindowsOnExit drop;
    d.Show();
    Settle();
    QWidget& window = Widget(d);
    QApplication::setActiveWindow(&window);
    // Enter in the text box clicks the default button, Escape the cancel button.
    Widget(d.Text).setFocus();
    QTest::keyClick(&Widget(d.Text), Qt::Key_Return);
    QTest::keyClick(&Widget(d.Text), Qt::Key_Escape);
    // A focused button takes Enter itself.
    Widget(d.Cancel).setFocus();
    QTest::keyClick(&Widget(d.Cancel), Qt::Key_Return);
    forms::DoEvents();
    EXPECT_EQ(d.events, (std::vector<std::string>{"Ok", "Cancel", "Cancel"}));
    d.events.clear();
    // Alt and the underlined letter.
    QTest::keyClick(&window, Qt::Key_W, Qt::AltModifier);
    // The button shows itself pressed before it clicks; a busy machine may take longer.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            forms::DoEvents();
            return !d.events.empty();
        },
        10000));
    EXPECT_EQ(d.events, (std::vector<std::string>{"Ok"}));
    // Tab visits the controls in the order the window made them.
    std::vector<QWidget*> order = {&Widget(d.Ok),   &Widget(d.Cancel), &Widget(d.Check),
                                   &Widget(d.Text), &Widget(d.Drive),  &Widget(d.Dir)};
    order.front()->setFocus();
    for (size_t i = 1; i <= order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), order[i % order.size()]) << i;
    }
    // Space ticks the focused check box.
    d.events.clear();
    Widget(d.Check).setFocus();
    QTest::keyClick(&Widget(d.Check), Qt::Key_Space);
    forms::DoEvents();
    EXPECT_EQ(d.events, (std::vector<std::string>{"Check 1"}));
}

TEST_F(QtInput, TheCloseBoxAsksTheModelWithTheUsersReason) {
    Dialog d;
    testing_support::DropWindowsOnExit drop;
    d.refuse = 1;
    d.Show();
    Widget(d).close();
    forms::DoEvents();
    EXPECT_EQ(d.events, (std::vector<std::string>{"QueryUnload 0"}));
    EXPECT_TRUE(d.IsLoaded());
    EXPECT_TRUE(Widget(d).isVisible()) << "refused: the window stays";
    Widget(d).close();
    forms::DoEvents();
    EXPECT_FALSE(d.IsLoaded());
    EXPECT_EQ(backend().WidgetOf(d), nullptr);
}

TEST_F(QtInput, AModalWindowTakesTheInputOfTheWindowsShownBeforeIt) {
    Dialog behind;
    behind.Show();
    Dialog front;
    testing_support::DropWindowsOnExit drop;
    front.Cancel.OnClick = [&] { forms::Unload(front); };
    bool checked = false;
    Soon([&] {
        checked = true;
        EXPECT_EQ(QApplication::activeModalWidget(), &Widget(front));
        // A click that reaches the window behind anyway is not delivered.
        dynamic_cast<QAbstractButton&>(Widget(behind.Ok)).click();
        QTest::mouseClick(&Widget(front.Cancel), Qt::LeftButton);
    });
    front.Show(forms::vbModal);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(front.IsLoaded());
    EXPECT_TRUE(behind.events.empty());
    EXPECT_EQ(Transcript(), (std::vector<std::string>{"show Dialog", "show Dialog modal",
                                                      "caption Dialog.Status \"QueryUnload 1\"",
                                                      "unload Dialog"}));
}

TEST_F(QtInput, EndInsideNestedModalWindowsEndsTheRunAtOnce) {
    std::vector<std::unique_ptr<Dialog>> dialogs;
    bool after = false;
    std::function<void()> open = [&] {
        dialogs.push_back(std::make_unique<Dialog>());
        Dialog& d = *dialogs.back();
        size_t depth = dialogs.size();
        d.Ok.OnClick = [&, depth] {
            if (depth == 3)
                forms::End();
            open();
            after = true; // never reached: End unwinds every loop
        };
        Soon([this, &d] { QTest::mouseClick(&Widget(d.Ok), Qt::LeftButton); });
        d.Show(depth == 1 ? forms::vbModeless : forms::vbModal);
    };
    EXPECT_EQ(RunProgram(open), "");
    EXPECT_FALSE(after);
    EXPECT_EQ(dialogs.size(), 3u);
    for (auto& d : dialogs)
        EXPECT_FALSE(d->IsLoaded());
    EXPECT_EQ(Transcript().back(), "end");
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
}

// As the copy window's close box during the copy: the close waits in the queue until the
// busy handler lets events through, then its question ends the run from inside.
TEST_F(QtInput, ACloseRequestArrivesInsideDoEvents) {
    struct Asking : Dialog {
        void Form_QueryUnload(int&, forms::UnloadMode) override {
            if (forms::MsgBox("Abbrechen?", forms::vbYesNo) == forms::vbYes)
                forms::End();
        }
    };
    Asking a;
    testing_support::DropWindowsOnExit drop;
    int rounds = 0;
    a.Ok.OnClick = [&] {
        for (rounds = 1; rounds <= 5; ++rounds) {
            a.Status.SetCaption("Datei " + std::to_string(rounds));
            forms::DoEvents();
        }
    };
    std::string ended = RunProgram([&] {
        a.Show();
        Soon([&] {
            QTest::mouseClick(&Widget(a.Ok), Qt::LeftButton);
            Soon([&] {
                Widget(a).close();
                Soon([] { forms::qt::ShownMessageBox()->buttons().at(0)->click(); });
            });
        });
    });
    EXPECT_EQ(ended, "");
    EXPECT_EQ(rounds, 1) << "the close came in the first DoEvents, and the run ended there";
    std::vector<std::string> lines = Transcript();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "caption Dialog.Status \"Datei 1\"");
    EXPECT_EQ(lines[lines.size() - 2], "msgbox 4 \"Abbrechen?\" -> 6");
    EXPECT_EQ(lines.back(), "end");
}

TEST_F(QtInput, TimersTickWhileTheProgramWaits) {
    struct Ticking : forms::Form {
        Ticking() : Form("Ticking") {
            Timer1.SetInterval(3);
            Timer1.OnTimer = [this] {
                if (++ticks == 10)
                    forms::Unload(*this);
            };
        }
        forms::Timer Timer1{*this, "Timer1"};
        int ticks = 0;
    } t;
    testing_support::DropWindowsOnExit drop;
    EXPECT_EQ(RunProgram([&] { t.Show(); }), "");
    EXPECT_EQ(t.ticks, 10);
}

// The link's border, given and taken back in one handler, still shows for a blink.
TEST_F(QtInput, ABorderTakenBackAtOnceFlashes) {
    Dialog d;
    testing_support::DropWindowsOnExit drop;
    d.Show();
    auto& label = dynamic_cast<forms::qt::LabelView&>(Widget(d.Status));
    d.Status.SetBorderStyle(forms::vbFixedSingle);
    d.Status.SetBorderStyle(forms::vbBSNone);
    EXPECT_TRUE(label.BorderShown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !label.BorderShown(); }, 10000));
}

// The same script, straight into the model and as input events in the windows.
TEST_F(QtInput, UiScriptStepsAsInputEventsGiveTheHeadlessTranscript) {
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Programme\\Tief", nullptr));
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Programme\\Tief\\Er", nullptr));
    const std::string script = "click Dialog.Ok\n"
                               "set Dialog.Check 1\n"
                               "set Dialog.Check 1\n"
                               "set Dialog.Text \"Zepanu 1.0\"\n"
                               "set Dialog.Text \"\"\n"
                               "set Dialog.Drive c:\n"
                               "set Dialog.Dir \"C:\\\\Programme\\\\Tief\\\\Er\"\n"
                               "set Dialog.Dir \"C:\\\\WINDOWS\"\n"
                               "click Dialog.Cancel\n"
                               "close Dialog\n";
    auto run = [&](forms::Backend& backend) {
        forms::Runtime::Get().SetBackend(&backend);
        Dialog d;
        testing_support::DropWindowsOnExit drop;
        forms::RunProgram([&] { d.Show(); });
        return d.events;
    };
    Start(script);
    std::vector<std::string> qtEvents = run(backend());
    std::vector<std::string> qtTranscript = Transcript();

    auto parsed = forms::script::ParseUiScript(script, "test.ui");
    auto transcript = std::make_shared<forms::script::Transcript>();
    forms::headless::HeadlessBackend headless(std::move(parsed.script), transcript);
    std::vector<std::string> headlessEvents = run(headless);
    forms::Runtime::Get().SetBackend(&backend());

    EXPECT_EQ(qtTranscript, transcript->Lines());
    // The folder list is walked as a user walks it: down folder by folder from C:\, then
    // up to C:\ and into WINDOWS.
    std::vector<std::string> expected = headlessEvents;
    auto dir = std::find(expected.begin(), expected.end(), "Dir C:\\Programme\\Tief\\Er");
    ASSERT_NE(dir, expected.end());
    dir = expected.insert(dir, {"Dir C:\\Programme", "Dir C:\\Programme\\Tief"}) + 3;
    expected.insert(dir, "Dir C:\\");
    EXPECT_EQ(qtEvents, expected);
}

// ExplodeForm draws onto the screen while the welcome screen loads; its window opens with
// those rectangles growing over what lay beneath it.
TEST_F(QtInput, TheWelcomeScreensRectanglesOpenItsWindow) {
    app::ResetProgramState();
    app::WillkommenSchirm->Show();
    auto& window = dynamic_cast<forms::qt::FormWindow&>(Widget(*app::WillkommenSchirm));
    EXPECT_EQ(window.ExplosionPlayed(), 50u);
    forms::Runtime::Get().Reset();
}

} // namespace
