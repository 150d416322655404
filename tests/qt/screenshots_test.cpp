// Every window of both runs as the qt interface draws it, at its designed client size,
// saved under build/screenshots: the controls' places and captions checked through the
// widgets, and a few pixels (the black welcome screen, the red not-xor bar at 0, 50 and
// 100 percent with its percentage readable over it).
#include "app/DateinCopy.h"
#include "app/Lizenz.h"
#include "app/ProgEinstellungen.h"
#include "app/Setup.h"
#include "app/WillkommenSchirm.h"
#include "forms/app_object.h"
#include "forms/msgbox.h"
#include "forms/qt/message_box.h"
#include "forms/runtime.h"
#include "program/program_state.h"
#include "qt_fixture.h"
#include "system/Setup_API.h"
#include "uninstall/KillPrBar.h"
#include "uninstall/UnInstall.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

using testing_support::QtUiTest;

// Twips of the design in pixels (15 twips to the pixel).
QRect Px(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QRgb Rgb(int r, int g, int b) {
    return qRgb(r, g, b);
}

class Screenshots : public QtUiTest {
protected:
    Screenshots() { app::ResetProgramState(); }

    // Controls: caption (as the widget shows it) and rectangle in the parent widget.
    void ExpectPlaced(const forms::Control& control, const QRect& rect) {
        SCOPED_TRACE(control.PathName());
        EXPECT_EQ(Widget(control).geometry(), rect);
        EXPECT_TRUE(Widget(control).isVisibleTo(&Widget(control.Parent())));
    }
    void ExpectButton(const forms::Control& control, const QRect& rect) {
        ExpectPlaced(control, rect);
        auto* button = dynamic_cast<QAbstractButton*>(&Widget(control));
        ASSERT_NE(button, nullptr) << control.PathName();
        EXPECT_EQ(button->text().toStdString(), control.Caption());
    }
};

// The copy window without its work: the designed window whose bar the test draws.
struct CopyWindow : app::DateinCopyForm {
    void Form_Load() override { Setup_API::CenterForm(*this); }
};
struct RemovalWindow : uninstall::KillPrBarForm {
    void Form_Load() override { Setup_API::CenterForm(*this); }
};

TEST_F(Screenshots, TheAgreementPage) {
    app::LizenzForm& w = *app::Lizenz;
    w.Show();
    QImage shot = Shot(w, "Lizenz");
    EXPECT_EQ(shot.size(), QSize(449, 369));
    EXPECT_EQ(Widget(w).windowTitle().toStdString(), "Dovek’s Lizenzvertrag");
    // Centred above the taskbar of the machine's 1024 x 768 screen: the window with its
    // frame (6825 x 5895 twips) at (4267.5, 2587.5) twips.
    EXPECT_EQ(Widget(w).pos(), QPoint(285, 173));
    ExpectPlaced(w.Picture1, Px(120, 120, 6495, 4575));
    // The labels lie inside the panel's sunken border.
    ExpectPlaced(w.Label2, Px(720, 360, 4725, 360).translated(2, 2));
    EXPECT_EQ(Widget(w.Label2).parentWidget(), &Widget(w.Picture1));
    ExpectButton(w.Command1, Px(3600, 4800, 3015, 615));
    ExpectButton(w.Command2, Px(120, 4800, 1575, 615));
    EXPECT_EQ(shot.pixel(300, 250), Rgb(255, 255, 255)) << "the white panel";
    EXPECT_EQ(shot.pixel(4, 300), Rgb(192, 192, 192)) << "the window's grey";
}

TEST_F(Screenshots, TheWelcomeScreenIsBlackAndTheLinesArriveInPlace) {
    app::WillkommenSchirmForm& w = *app::WillkommenSchirm;
    w.Show();
    while (!w.WeiterLabel.Visible())
        ASSERT_TRUE(forms::Runtime::Get().RunNextTimer());
    QImage shot = Shot(w, "WillkommenSchirm");
    EXPECT_EQ(shot.size(), QSize(1024, 768)) << "the machine's whole screen";
    EXPECT_TRUE(Widget(w).windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(shot.pixel(1000, 700), Rgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(2, 2), Rgb(0, 0, 0));
    const int finals[] = {120, 120, 120, 120, 240, 240, 240, 240, 240, 345, 345};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(Widget(w.AnimText(i)).x(), finals[i] / 15) << i;
    ExpectPlaced(w.WeiterLabel, Px(7440, 6480, 1155, 435));
    // The link: blue text, and the hand as its pointer.
    QRect link = Widget(w.WeiterLabel).geometry();
    int blue = 0;
    for (int y = link.top(); y <= link.bottom(); ++y)
        for (int x = link.left(); x <= link.right(); ++x)
            blue += shot.pixel(x, y) == Rgb(0, 0, 255);
    EXPECT_GT(blue, 100);
    EXPECT_EQ(Widget(w.WeiterLabel).cursor().shape(), Qt::BitmapCursor);
    EXPECT_FALSE(Widget(w.WeiterLabel).cursor().pixmap().isNull());
    // The yellow line's text sits on its line (top 1320 twips).
    EXPECT_EQ(Widget(w.AnimText(1)).y(), 1320 / 15);
}

TEST_F(Screenshots, TheTargetPage) {
    app::SetupForm& w = *app::Setup;
    w.Show();
    QImage shot = Shot(w, "Setup");
    EXPECT_EQ(shot.size(), QSize(345, 258));
    ExpectPlaced(w.SetupFrame, Px(120, 120, 4935, 3615));
    ExpectPlaced(w.Drive1, Px(240, 360, 4455, 315));
    ExpectPlaced(w.Dir1, Px(240, 720, 4455, 1830));
    ExpectPlaced(w.Text1, Px(240, 3120, 3495, 285));
    ExpectButton(w.WeiterCommand, Px(3960, 3120, 855, 285));
    auto& drives = dynamic_cast<QComboBox&>(Widget(w.Drive1));
    EXPECT_EQ(drives.currentText().toStdString(), "c:");
    auto& folders = dynamic_cast<QListWidget&>(Widget(w.Dir1));
    ASSERT_GE(folders.count(), 2);
    EXPECT_EQ(folders.item(0)->text().toStdString(), "c:\\");
    EXPECT_EQ(folders.item(1)->text().toStdString(), "Programme");
    EXPECT_EQ(folders.currentRow(), 1) << "the open folder";
    EXPECT_EQ(dynamic_cast<QLineEdit&>(Widget(w.Text1)).text().toStdString(),
              "Dovek's Zepanu's 1.0");
}

TEST_F(Screenshots, TheOptionsPage) {
    app::ProgEinstellungenForm& w = *app::ProgEinstellungen;
    w.Show();
    QImage shot = Shot(w, "ProgEinstellungen");
    EXPECT_EQ(shot.size(), QSize(514, 281));
    ExpectButton(w.Command1, Px(6240, 3600, 1335, 495));
    ExpectButton(w.Command2, Px(4680, 3600, 1335, 495));
    EXPECT_TRUE(dynamic_cast<QPushButton&>(Widget(w.Command1)).isDefault());
    ExpectButton(w.Check3, Px(240, 1680, 2415, 1335));
    for (int i = 0; i < 14; ++i)
        ExpectButton(w.DateiTypenCheck(i),
                     QRect(8, 8 + 16 * i, Widget(w.DateiTypenCheck(i)).width(), 13));
    // The line above the buttons, light grey.
    EXPECT_EQ(shot.pixel(400, 232), Rgb(0xE0, 0xE0, 0xE0));
}

TEST_F(Screenshots, TheRemovalConfirmation) {
    uninstall::UnInstallForm& w = *uninstall::UnInstall;
    w.Show();
    QImage shot = Shot(w, "UnInstall");
    EXPECT_EQ(shot.size(), QSize(314, 92));
    ExpectPlaced(w.Label1, Px(240, 120, 4335, 615));
    ExpectButton(w.Command1, Px(360, 840, 1575, 375));
    ExpectButton(w.Command2, Px(2760, 840, 1575, 375));
}

// The bar's pixels inside the box's border at 0, 50 and 100 percent: red (255, 0, 0) in
// not-xor mode over the blue background (73, 150, 254) gives (73, 105, 1); the red digits
// under the bar turn white.
TEST_F(Screenshots, TheProgressBarsAtZeroHalfAndFull) {
    const QRgb background = Rgb(73, 150, 254);
    const QRgb bar = Rgb(73, 105, 1);
    for (bool copy : {true, false}) {
        std::unique_ptr<forms::Form> window;
        forms::PictureBox* box = nullptr;
        if (copy) {
            auto w = std::make_unique<CopyWindow>();
            box = &w->Picture1;
            window = std::move(w);
        } else {
            auto w = std::make_unique<RemovalWindow>();
            box = &w->Picture1;
            window = std::move(w);
        }
        window->Show();
        EXPECT_EQ(Widget(*window).size(), copy ? QSize(170, 65) : QSize(168, 62));
        ExpectPlaced(*box, Px(120, 120, 2295, 495));
        for (int percent : {0, 50, 100}) {
            SCOPED_TRACE(window->Name() + " at " + std::to_string(percent));
            Setup_API::DrawProgress(*box, static_cast<std::int16_t>(percent));
            Shot(*window, window->Name() + "_" + std::to_string(percent));
            QImage picture = Widget(*box).grab().toImage();
            QPoint left(6, 6), right(picture.width() - 7, picture.height() - 7);
            EXPECT_EQ(picture.pixel(left), percent > 0 ? bar : background);
            EXPECT_EQ(picture.pixel(right), percent == 100 ? bar : background);
            // The digits in the middle: red where they stand on the background, white
            // where the bar covers them.
            QRect digits(picture.width() / 2 - 12, 8, 24, picture.height() - 16);
            int red = 0, white = 0;
            for (int y = digits.top(); y <= digits.bottom(); ++y)
                for (int x = digits.left(); x <= digits.right(); ++x) {
                    red += picture.pixel(x, y) == Rgb(255, 0, 0);
                    white += picture.pixel(x, y) == Rgb(255, 255, 255);
                }
            EXPECT_GT(percent == 100 ? white : red, 20) << "readable digits";
            if (percent == 0) {
                EXPECT_EQ(white, 0);
            }
            if (percent == 100) {
                EXPECT_EQ(red, 0);
            }
        }
        forms::Unload(*window);
    }
}

// Message boxes: the application title, the icon and buttons of the style, German Yes and
// No; the answer is the button clicked.
TEST_F(Screenshots, MessageBoxes) {
    forms::App::SetTitle("Konfiguration für Dovek’s Zepanu’s 1.0");
    struct Case {
        int style;
        QMessageBox::Icon icon;
        std::vector<std::string> buttons;
        int clicked;
        int answer;
    };
    for (const Case& c : {Case{68, QMessageBox::Information, {"&Ja", "&Nein"}, 1, forms::vbNo},
                          Case{68, QMessageBox::Information, {"&Ja", "&Nein"}, 0, forms::vbYes},
                          Case{16, QMessageBox::Critical, {"OK"}, 0, forms::vbOK},
                          Case{64, QMessageBox::Information, {"OK"}, 0, forms::vbOK}}) {
        SCOPED_TRACE(c.style);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QMessageBox* box = forms::qt::ShownMessageBox();
            ASSERT_NE(box, nullptr);
            seen = true;
            EXPECT_EQ(box->windowTitle().toStdString(), "Konfiguration für Dovek’s Zepanu’s 1.0");
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_TRUE(box->isModal());
            std::vector<std::string> captions;
            for (QAbstractButton* b : box->buttons())
                captions.push_back(b->text().toStdString());
            EXPECT_EQ(captions, c.buttons);
            QImage shot = box->grab().toImage();
            shot.save(QString(ZEPSETUP_SCREENSHOTS) + "/msgbox_" + QString::number(c.style) +
                      ".png");
            box->buttons().at(c.clicked)->click();
        });
        EXPECT_EQ(forms::MsgBox("Möchten Sie trotzdem abbrechen?", c.style), c.answer);
        EXPECT_TRUE(seen);
    }
    EXPECT_EQ(Transcript().back(), "msgbox 64 \"Möchten Sie trotzdem abbrechen?\" -> 1");
}

} // namespace
