// Controls with behaviour of their own: check boxes, drive and folder lists, the picture
// box's drawing record, and the runtime's numeric conversions.
#include "forms/controls.h"
#include "forms/conversions.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/global_form.h"
#include "forms/picture_box.h"
#include "forms/run_time_error.h"
#include "support/error_of.h"
#include "support/ui_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testing_support::UiTest;

class Panel : public forms::Form {
public:
    Panel() : Form("Panel") {}
    forms::CheckBox Check1{*this, "Check1"};
    forms::DriveListBox Drive1{*this, "Drive1"};
    forms::DirListBox Dir1{*this, "Dir1"};
    forms::PictureBox Picture1{*this, "Picture1"};
};
forms::Global<Panel> ThePanel;

using testing_support::ErrorOf;

using Controls = UiTest;

TEST_F(Controls, ACheckBoxRaisesClickWhenItsValueChanges) {
    int clicks = 0;
    ThePanel->Check1.OnClick = [&] { ++clicks; };
    ThePanel->Check1.SetValue(forms::vbChecked);
    ThePanel->Check1.SetValue(forms::vbChecked);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ErrorOf([] { ThePanel->Check1.SetValue(3); }), 380);
}

TEST_F(Controls, DriveAndFolderListsRefuseWhatIsNotThere) {
    Panel& p = *ThePanel;
    EXPECT_EQ(p.Drive1.Drive(), "c:");
    EXPECT_EQ(p.Drive1.List(), (std::vector<std::string>{"a:", "c:"}));
    EXPECT_EQ(ErrorOf([&] { p.Drive1.SetDrive("a:"); }), 68); // no medium
    EXPECT_EQ(ErrorOf([&] { p.Drive1.SetDrive("q"); }), 68);
    EXPECT_EQ(ErrorOf([&] { p.Drive1.SetDrive("C:\\Programme"); }), 0);
    EXPECT_EQ(p.Drive1.Drive(), "c:");

    EXPECT_EQ(ErrorOf([&] { p.Dir1.SetPath("c:\\programme\\"); }), 0);
    EXPECT_EQ(p.Dir1.Path(), "C:\\programme");
    EXPECT_EQ(ErrorOf([&] { p.Dir1.SetPath("c: [MS-DOS_6]"); }), 0);
    EXPECT_EQ(p.Dir1.Path(), "C:\\");
    EXPECT_EQ(ErrorOf([&] { p.Dir1.SetPath("C:\\Nirgends"); }), 76);
    EXPECT_EQ(ErrorOf([&] { p.Dir1.SetPath("C:\\WINDOWS\\WIN.INI"); }), 76);
    EXPECT_EQ(ErrorOf([&] { p.Dir1.SetPath("a:"); }), 68);
    EXPECT_EQ(p.Dir1.Path(), "C:\\");
}

TEST_F(Controls, APictureBoxRecordsItsDrawingSinceTheLastClear) {
    forms::PictureBox& box = ThePanel->Picture1;
    box.FilledBox(0, 0, 10, 10, 1);
    box.Cls();
    box.SetCurrentX(100);
    box.SetCurrentY(50);
    box.Print("42%");
    box.SetDrawMode(forms::vbNotXorPen);
    box.FilledBox(0, 0, 500, 495, 255);
    const auto& d = box.Drawings();
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].kind, forms::Drawing::Kind::Clear);
    EXPECT_EQ(d[1].kind, forms::Drawing::Kind::Text);
    EXPECT_EQ(d[1].text, "42%");
    EXPECT_EQ(d[1].x1, 100);
    EXPECT_EQ(d[1].y1, 50);
    EXPECT_EQ(d[1].font.name, "MS Sans Serif");
    EXPECT_EQ(d[1].drawMode, forms::vbCopyPen);
    EXPECT_EQ(d[2].kind, forms::Drawing::Kind::FilledBox);
    EXPECT_EQ(d[2].x2, 500);
    EXPECT_EQ(d[2].colour, 255u);
    EXPECT_EQ(d[2].drawMode, forms::vbNotXorPen);
    EXPECT_EQ(box.CurrentY(), 495); // a box ends at its far corner
}

TEST(Conversions, RoundHalfToEvenAndOverflowIsError6) {
    EXPECT_EQ(forms::CInt(2.5), 2);
    EXPECT_EQ(forms::CInt(3.5), 4);
    EXPECT_EQ(forms::CInt(-2.5), -2);
    EXPECT_EQ(forms::CInt(32767.4), 32767);
    EXPECT_EQ(forms::CLng(-60.0), -60);
    EXPECT_EQ(ErrorOf([] { forms::CInt(32767.5); }), 6);
    EXPECT_EQ(ErrorOf([] { forms::CInt(-32769); }), 6);
    EXPECT_EQ(ErrorOf([] { forms::CLng(3e9); }), 6);
    EXPECT_EQ(ErrorOf([] { forms::CLng(std::nan("")); }), 6);
}

} // namespace
