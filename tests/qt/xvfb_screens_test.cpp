// The windows on a real X screen, as a user on today's screens sees them: ctest runs this
// under Xvfb at 1024 x 768, 1920 x 1080 and 1920 x 1080 drawn at twice the density
// (QT_SCALE_FACTOR=2), with a black root window and no window manager. The machine
// answers from that screen for the run only; the agreement page stands in its middle;
// the welcome screen covers it and its lines fly in from its right edge. The whole screen
// is saved as build/screenshots/xvfb/SCREEN-NAME.png.
#include "app/DateinCopy.h"
#include "app/Lizenz.h"
#include "app/WillkommenSchirm.h"
#include "forms/runtime.h"
#include "forms/screen.h"
#include "platform/gdi32.h"
#include "platform/portable/windows/display.h"
#include "platform/user32.h"
#include "program/program_state.h"
#include "qt_fixture.h"
#include "system/Setup_API.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <cstdlib>
#include <filesystem>

namespace {

using testing_support::QtUiTest;

// The copy window without its work, with its bar half drawn.
struct CopyWindow : app::DateinCopyForm {
    void Form_Load() override { Setup_API::CenterForm(*this); }
};

class XvfbScreens : public QtUiTest {
protected:
    XvfbScreens() : QtUiTest("xcb") { app::ResetProgramState(); }

    // The whole screen as the X server shows it, saved under its name.
    QImage ScreenShot(const std::string& name) {
        Settle();
        QTest::qWait(100);
        Settle();
        QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        std::filesystem::path dir = std::filesystem::path(ZEPSETUP_SCREENSHOTS) / "xvfb";
        std::filesystem::create_directories(dir);
        const char* screen = std::getenv("ZEPSETUP_SCREEN_NAME");
        std::string file = (dir / (std::string(screen ? screen : "screen") + "-" + name + ".png"));
        EXPECT_TRUE(image.save(QString::fromStdString(file), "PNG")) << file;
        return image;
    }
    // Where anything but the black root shows.
    static QRect Drawn(const QImage& image, QRect within = {}) {
        if (within.isNull())
            within = image.rect();
        QRect drawn;
        for (int y = within.top(); y <= within.bottom(); ++y)
            for (int x = within.left(); x <= within.right(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) != 0)
                    drawn |= QRect(x, y, 1, 1);
        return drawn;
    }
};

TEST_F(XvfbScreens, TheWindowsStandOnTheRealScreen) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    const QRect geometry = screen->geometry();
    SCOPED_TRACE(std::to_string(geometry.width()) + "x" + std::to_string(geometry.height()) +
                 " at " + std::to_string(screen->devicePixelRatio()));
    // The machine answers from this screen, for this run only.
    EXPECT_EQ(forms::Screen::Width(), static_cast<float>(geometry.width() * 15));
    EXPECT_EQ(forms::Screen::Height(), static_cast<float>(geometry.height() * 15));
    HDC dc = win::GetDC(nullptr);
    EXPECT_EQ(win::GetDeviceCaps(dc, BITSPIXEL), screen->depth());
    win::ReleaseDC(nullptr, dc);
    EXPECT_EQ(portable::ReadDisplay(*portable::Machine::Open(machine_.root())).width, 1024)
        << "the stored display stays";

    CopyWindow copy;
    testing_support::DropWindowsOnExit drop; // before copy goes
    app::LizenzForm& lizenz = *app::Lizenz;
    lizenz.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Widget(lizenz)));
    QImage page = ScreenShot("Lizenz");
    QRect shown = Drawn(page);
    QPoint off = shown.center() - page.rect().center();
    EXPECT_LE(std::abs(off.x()), 2) << "the page's centre is off by " << off.x();
    EXPECT_LE(std::abs(off.y()), 2) << "the page's centre is off by " << off.y();
    forms::Unload(lizenz);

    app::WillkommenSchirmForm& welcome = *app::WillkommenSchirm;
    welcome.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Widget(welcome)));
    EXPECT_EQ(Widget(welcome).geometry(), geometry) << "the whole screen";
    ASSERT_TRUE(forms::Runtime::Get().RunNextTimer());
    QImage flying = ScreenShot("WillkommenSchirm-flying");
    QRect rightQuarter = flying.rect().adjusted(flying.width() * 3 / 4, 0, 0, 0);
    EXPECT_TRUE(Drawn(flying, rightQuarter).isValid()) << "the first line enters on the right";
    while (!welcome.WeiterLabel.Visible())
        ASSERT_TRUE(forms::Runtime::Get().RunNextTimer());
    QImage done = ScreenShot("WillkommenSchirm");
    EXPECT_TRUE(Drawn(done, done.rect().adjusted(0, 0, -done.width() / 2, 0)).isValid());
    forms::Unload(welcome);

    // The bar, drawn in the screen's own pixels: red not-xor the blue box is 73, 105, 1.
    copy.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Widget(copy)));
    Setup_API::DrawProgress(copy.Picture1, 50);
    QImage bar = ScreenShot("DateinCopy");
    int mixed = 0;
    for (int y = 0; y < bar.height(); ++y)
        for (int x = 0; x < bar.width(); ++x)
            mixed += (bar.pixel(x, y) & 0xFFFFFF) == 0x496901;
    qreal ratio = screen->devicePixelRatio();
    EXPECT_GT(mixed, 60 * 25 * ratio * ratio) << "half the bar, in device pixels";
}

} // namespace
