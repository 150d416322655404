// Setup_API's window and screen services on the machine's display and window table.
#include "forms/global_form.h"
#include "forms/picture_box.h"
#include "forms/runtime.h"
#include "platform/portable/windows/display.h"
#include "platform/portable/windows/gdi_objects.h"
#include "platform/portable/windows/window_table.h"
#include "platform/user32.h"
#include "support/ui_fixture.h"
#include "system/Setup_API.h"

#include <gtest/gtest.h>

namespace {

using testing_support::UiTest;

class Window : public forms::Form {
public:
    Window() : Form("Fenster") {
        SetCaption("Kopieren...");
        Move(0, 0, 6000, 3000);
        SetBackColor(RGB(73, 150, 254));
        Picture1.Move(120, 120, 2295, 495);
    }
    forms::PictureBox Picture1{*this, "Picture1"};
};
forms::Global<Window> Fenster;

class WindowServices : public UiTest {
protected:
    void Screen(int width, int height, const char* taskbar, int bits = 16, int planes = 1) {
        portable::Display d;
        d.width = width;
        d.height = height;
        d.bitsPerPixel = bits;
        d.planes = planes;
        portable::WriteDisplay(machine_.machine(), d);
        portable::WriteTaskbar(machine_.machine(), taskbar);
    }
};

TEST_F(WindowServices, CenterFormUsesTheAreaTheTaskbarLeavesFree) {
    struct Case {
        int width, height;
        const char* taskbar;
        float left, top;
    } cases[] = {
        // Bottom: centred across the screen, vertically above the taskbar.
        {1024, 768, "bottom", 15360 / 2 - 3000, (11520 - 15 * 30) / 2 - 1500},
        // On top of an 800-pixel screen: as at the bottom, then 410 twips down.
        {800, 600, "top", 12000 / 2 - 3000, (9000 - 15 * 30) / 2 - 1500 + 410},
        // On top of a wider screen there is no shift.
        {1024, 768, "top", 15360 / 2 - 3000, (11520 - 15 * 30) / 2 - 1500},
        // Left: the free width measured from the screen's left edge.
        {1024, 768, "left", (15360 - 15 * 66) / 2 - 3000, 11520 / 2 - 1500},
        // A taskbar exactly as wide (or high) as the screen, as later systems and Wine
        // report it, leaves the window on the screen too.
        {1024, 768, "0,738,1024,768", 15360 / 2 - 3000, (11520 - 15 * 30) / 2 - 1500},
        {1024, 768, "0,0,66,768", (15360 - 15 * 66) / 2 - 3000, 11520 / 2 - 1500},
        {1024, 768, "none", 15360 / 2 - 3000, 11520 / 2 - 1500},
        {1024, 768, "0,0,0,0", 15360 / 2 - 3000, 11520 / 2 - 1500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.taskbar + std::string(" ") + std::to_string(c.width));
        Screen(c.width, c.height, c.taskbar);
        Setup_API::CenterForm(*Fenster);
        EXPECT_EQ(Fenster->Left(), c.left);
        EXPECT_EQ(Fenster->Top(), c.top);
        EXPECT_EQ(Fenster->Width(), 6000);
    }
}

TEST_F(WindowServices, SetTopMostOnAndOff) {
    Fenster->Show();
    Setup_API::SetTopMost(*Fenster, 1);
    EXPECT_TRUE(portable::LookUpWindow(Fenster->hWnd())->topmost);
    // Off brings the window to the top with HWND_TOP, which leaves it topmost.
    Setup_API::SetTopMost(*Fenster, 0);
    EXPECT_TRUE(portable::LookUpWindow(Fenster->hWnd())->topmost);
    EXPECT_EQ(portable::TopLevelWindows().front(), Fenster->hWnd());
}

TEST_F(WindowServices, DrawProgressCentresTheTextUnderANotXorBar) {
    Fenster->Show();
    forms::PictureBox& box = Fenster->Picture1;
    for (int percent : {0, 42, 100}) {
        SCOPED_TRACE(percent);
        Setup_API::DrawProgress(box, static_cast<std::int16_t>(percent));
        const auto& d = box.Drawings();
        ASSERT_EQ(d.size(), 3u);
        EXPECT_EQ(d[0].kind, forms::Drawing::Kind::Clear);
        std::string text = std::to_string(percent) + "%";
        SIZE size = portable::TextExtent({}, text);
        EXPECT_EQ(d[1].text, text);
        EXPECT_EQ(d[1].x1, (2295 - size.cx * 15.0f) / 2);
        EXPECT_EQ(d[1].y1, (495 - size.cy * 15.0f) / 2);
        EXPECT_EQ(d[1].drawMode, forms::vbCopyPen);
        EXPECT_EQ(d[2].kind, forms::Drawing::Kind::FilledBox);
        EXPECT_EQ(d[2].x1, 0);
        EXPECT_EQ(d[2].x2, 2295.0f * percent / 100);
        EXPECT_EQ(d[2].y2, 495);
        EXPECT_EQ(d[2].colour, 255u);
        EXPECT_EQ(d[2].drawMode, forms::vbNotXorPen);
    }
    EXPECT_EQ(box.Drawings()[2].x2, 2295); // 100 covers the whole box
    auto lines = Transcript();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"progress Fenster 0", "progress Fenster 42",
                                        "progress Fenster 100"}));
}

TEST_F(WindowServices, DrawProgressLetsWaitingInputThrough) {
    Script("when Fenster.Picture1 \"x\" close Fenster\n");
    Fenster->Show();
    Fenster->Picture1.SetCaption("x"); // queues the close
    EXPECT_TRUE(Fenster.Loaded());
    Setup_API::DrawProgress(Fenster->Picture1, 10);
    EXPECT_FALSE(Fenster.Loaded());
}

TEST_F(WindowServices, ExplodeFormDrawsGrowingRectanglesCentredOnTheWindow) {
    Fenster->Move(1500, 1500, 6000, 3000); // pixels 100, 100, 400 x 200
    Fenster->Show();
    portable::ForgetDrawing();
    Setup_API::ExplodeForm(*Fenster, 1);
    ASSERT_EQ(portable::DrawnRectangles().size(), 1u);
    auto r = portable::DrawnRectangles()[0];
    EXPECT_EQ(r.window, nullptr); // straight onto the screen
    EXPECT_EQ((std::vector<LONG>{r.rect.left, r.rect.top, r.rect.right, r.rect.bottom}),
              (std::vector<LONG>{100, 100, 500, 300}));
    EXPECT_EQ(r.fill, RGB(73, 150, 254));

    portable::ForgetDrawing();
    Setup_API::ExplodeForm(*Fenster, 3);
    ASSERT_EQ(portable::DrawnRectangles().size(), 3u);
    auto first = portable::DrawnRectangles()[0].rect;
    // 1/3 of 400 x 200 is 133.3 x 66.7: 133 x 67, at 100 + 267/2 = 233.5 -> 234 (to even),
    // 100 + 133/2 = 166.5 -> 166.
    EXPECT_EQ((std::vector<LONG>{first.left, first.top, first.right, first.bottom}),
              (std::vector<LONG>{234, 166, 367, 233}));

    portable::ForgetDrawing();
    Fenster->Move(600000, 1500, 6000, 3000); // left beyond 16 bits: passed over
    Setup_API::ExplodeForm(*Fenster, 2);
    EXPECT_EQ(portable::DrawnRectangles().size(), 2u);
    Setup_API::ExplodeForm(*Fenster, 0);
}

TEST_F(WindowServices, GetColourCountByBitsAndPlanes) {
    struct Case {
        int bits, planes;
        std::optional<std::int32_t> count;
    } cases[] = {{16, 1, 65000}, {32, 1, 65000}, {24, 1, 65000},      {8, 1, 256},
                 {4, 1, 65000},  {1, 1, 16},     {1, 4, std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits * 10 + c.planes);
        Screen(1024, 768, "bottom", c.bits, c.planes);
        EXPECT_EQ(Setup_API::GetColourCount(), c.count);
    }
}

TEST_F(WindowServices, FindWindowByTitleByModeAndCase) {
    portable::Machine& m = machine_.machine();
    HWND other = portable::OpenOtherWindow(m, "Notizblock - Dovek's TaskBar Symbole 1.0", true);
    HWND hidden = portable::OpenOtherWindow(m, "Dovek's TaskBar Symbole 1.0 (Tray)", false);
    portable::OpenOtherWindow(m, "", true);
    Fenster->Show();
    const char* title = "Dovek's TaskBar Symbole 1.0";
    // Hidden windows are compared like visible ones, whatever the flag.
    EXPECT_EQ(Setup_API::FindWindowByTitle(title, 0, 0, -1), hidden);
    EXPECT_EQ(Setup_API::FindWindowByTitle("DOVEK'S TASKBAR", 0, 0, 0), hidden);
    EXPECT_EQ(Setup_API::FindWindowByTitle("DOVEK'S TASKBAR", 0, 1, 0), nullptr);
    EXPECT_EQ(Setup_API::FindWindowByTitle("Notizblock", 1, 1, 0), other);
    EXPECT_EQ(Setup_API::FindWindowByTitle("symbole 1.0", 1, 0, 0), other); // first in order
    EXPECT_EQ(Setup_API::FindWindowByTitle(title, 2, 0, 0), nullptr);
    EXPECT_EQ(Setup_API::FindWindowByTitle("kopieren...", 2, 0, 0), Fenster->hWnd());
    EXPECT_EQ(Setup_API::FindWindowByTitle(title, 3, 0, 0), nullptr);
    EXPECT_EQ(Setup_API::FindWindowByTitle("Gibt es nicht", 1, 0, 0), nullptr);

    EXPECT_EQ(Setup_API::FindWindowByTitle("Gibt es nicht", 1, 0, 0), nullptr);
    EXPECT_EQ(Setup_API::FindWindowCallback(other, 0), -1); // still searching
    Setup_API::FindWindowByTitle("Notizblock", 0, 1, 0);
    EXPECT_EQ(Setup_API::FindWindowCallback(hidden, 0), 0); // found: stop
}

} // namespace
