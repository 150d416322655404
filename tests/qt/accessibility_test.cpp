// What a screen reader learns of the windows through Qt's accessibility: names, roles,
// states and values of the controls, the link reached and activated from the keyboard or
// by its action, the progress bars' values with the file worked on, message boxes
// announcing their text.
#include "app/DateinCopy.h"
#include "app/Lizenz.h"
#include "app/ProgEinstellungen.h"
#include "app/Setup.h"
#include "forms/controls.h"
#include "forms/msgbox.h"
#include "forms/qt/message_box.h"
#include "forms/runtime.h"
#include "qt_fixture.h"
#include "system/Setup_API.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

using testing_support::QtUiTest;

// (Change events are not seen here: Qt passes them on only while a screen reader is
// attached, which the offscreen platform never has.)
class Accessibility : public QtUiTest {
protected:
    QAccessibleInterface& Of(const forms::Control& control) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&Widget(control));
        if (!iface)
            throw std::runtime_error("no accessible interface for " + control.PathName());
        return *iface;
    }
    void ExpectAnnounced(const forms::Control& control, QAccessible::Role role,
                         const std::string& name) {
        SCOPED_TRACE(control.PathName());
        QAccessibleInterface& iface = Of(control);
        EXPECT_EQ(iface.role(), role);
        EXPECT_EQ(iface.text(QAccessible::Name).toStdString(), name);
        EXPECT_FALSE(iface.state().invisible);
    }
};

// A window with a link: a label whose MouseUp the program handles.
class LinkDialog : public forms::Form {
public:
    LinkDialog() : Form("LinkDialog") {
        SetCaption("Link");
        SetClientSize(4000, 2000);
        Ok.SetCaption("OK");
        Ok.Move(120, 120, 1200, 375);
        Link.SetCaption("Weiter");
        Link.Move(120, 600, 1200, 375);
        Link.OnMouseUp = [this](int, int, float, float) { ++activated; };
        Text.Move(120, 1200, 1200, 285);
    }
    forms::CommandButton Ok{*this, "Ok"};
    forms::Label Link{*this, "Link"};
    forms::TextBox Text{*this, "Text"};
    int activated = 0;
};

TEST_F(Accessibility, EveryControlHasANameARoleAndAState) {
    app::LizenzForm& lizenz = *app::Lizenz;
    testing_support::DropWindowsOnExit drop;
    lizenz.Show();
    EXPECT_EQ(Of(lizenz).text(QAccessible::Name).toStdString(), "Dovek’s Lizenzvertrag");
    ExpectAnnounced(lizenz.Picture1, QAccessible::Pane, "Dovek’s Lizenzvertrag");
    ExpectAnnounced(lizenz.Label4, QAccessible::StaticText, "WICHTIG!");
    ExpectAnnounced(lizenz.Command2, QAccessible::Button, "Nein das kann ich nicht akzeptieren!");
    EXPECT_TRUE(Of(lizenz.Command2).state().focusable);

    app::SetupForm& setup = *app::Setup;
    setup.Show();
    ExpectAnnounced(setup.SetupFrame, QAccessible::Grouping,
                    "Ordner für die Installation auswählen");
    // Controls without a caption: by the label before them, else by their frame.
    ExpectAnnounced(setup.Text1, QAccessible::EditableText, "Name des Programmordners:");
    EXPECT_EQ(Of(setup.Text1).text(QAccessible::Value).toStdString(), "Dovek's Zepanu's 1.0");
    // Qt names a combo box by its value on this platform; the rest goes to its description.
    ExpectAnnounced(setup.Drive1, QAccessible::ComboBox, "c:");
    EXPECT_EQ(Of(setup.Drive1).text(QAccessible::Description).toStdString(),
              "Ordner für die Installation auswählen");
    ExpectAnnounced(setup.Dir1, QAccessible::List, "Ordner für die Installation auswählen");
    ExpectAnnounced(setup.WeiterCommand, QAccessible::Button, "Weiter >");

    app::ProgEinstellungenForm& options = *app::ProgEinstellungen;
    options.Show();
    ExpectAnnounced(options.Command1, QAccessible::Button, "Weiter >"); // no access-key mark
    ExpectAnnounced(options.Check2, QAccessible::CheckBox,
                    "Dovek’s Taskleisten-Symbole aktivieren");
    for (int value : {forms::vbChecked, forms::vbUnchecked}) {
        SCOPED_TRACE(value);
        options.Check2.SetValue(value);
        EXPECT_TRUE(Of(options.Check2).state().checkable);
        EXPECT_EQ(Of(options.Check2).state().checked, value == forms::vbChecked);
    }
    // Toggled by its action as by a click: the program's handler decides.
    Of(options.Check2).actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    forms::DoEvents();
    EXPECT_EQ(options.Check2.Value(), forms::vbChecked);
}

TEST_F(Accessibility, TheLinkIsReachedByTabAndActivatedByEnterSpaceOrItsAction) {
    LinkDialog d;
    testing_support::DropWindowsOnExit drop;
    d.Show();
    Settle();
    QApplication::setActiveWindow(&Widget(d));
    ExpectAnnounced(d.Link, QAccessible::Link, "Weiter");
    EXPECT_TRUE(Of(d.Link).state().focusable);
    ExpectAnnounced(d.Text, QAccessible::EditableText, "Weiter"); // the label before it
    Widget(d.Ok).setFocus();
    QTest::keyClick(&Widget(d.Ok), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), &Widget(d.Link));
    QTest::keyClick(&Widget(d.Link), Qt::Key_Return);
    QTest::keyClick(&Widget(d.Link), Qt::Key_Space);
    Of(d.Link).actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(d.activated, 0) << "only where the program processes events";
    forms::DoEvents();
    EXPECT_EQ(d.activated, 3);
    d.Link.SetEnabled(false);
    Of(d.Link).actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    forms::DoEvents();
    EXPECT_EQ(d.activated, 3) << "a disabled link takes nothing";
}

// The copy window without its work: its bar and the file name under it.
struct CopyWindow : app::DateinCopyForm {
    void Form_Load() override {}
};

TEST_F(Accessibility, TheProgressBarCarriesItsValueAndTheFileWorkedOn) {
    CopyWindow copy;
    testing_support::DropWindowsOnExit drop;
    copy.Show();
    copy.DateiName.SetCaption("ZEPANU.EXE");
    Setup_API::DrawProgress(copy.Picture1, 42);
    QAccessibleInterface& bar = Of(copy.Picture1);
    EXPECT_EQ(bar.role(), QAccessible::ProgressBar);
    EXPECT_EQ(bar.text(QAccessible::Name).toStdString(), "Kopieren...");
    EXPECT_EQ(bar.text(QAccessible::Description).toStdString(), "ZEPANU.EXE");
    EXPECT_EQ(bar.text(QAccessible::Value).toStdString(), "42%");
    ASSERT_NE(bar.valueInterface(), nullptr);
    EXPECT_EQ(bar.valueInterface()->currentValue().toInt(), 42);
    EXPECT_EQ(bar.valueInterface()->minimumValue().toInt(), 0);
    EXPECT_EQ(bar.valueInterface()->maximumValue().toInt(), 100);
    ExpectAnnounced(copy.DateiName, QAccessible::StaticText, "ZEPANU.EXE");
}

// Qt's message box is an alert whose value is its text, announced when it shows.
TEST_F(Accessibility, MessageBoxesAnnounceTheirText) {
    const std::string text = "Leider können Sie das Programm nur ausführen wenn Sie diesen "
                             "Bedingungen zustimmen!";
    QTimer::singleShot(0, [&] {
        QMessageBox* box = forms::qt::ShownMessageBox();
        ASSERT_NE(box, nullptr);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::AlertMessage);
        EXPECT_EQ(iface->text(QAccessible::Value).toStdString(), text);
        box->buttons().front()->click();
    });
    EXPECT_EQ(forms::MsgBox(text, 64), forms::vbOK);
}

} // namespace
