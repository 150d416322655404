// user32, gdi32 and shell32 on the portable machine: the window table, messages,
// restarts, the display and drawing.
#include "platform/gdi32.h"
#include "platform/kernel32.h"
#include "platform/portable/clock.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/restart.h"
#include "platform/portable/windows/display.h"
#include "platform/portable/windows/gdi_objects.h"
#include "platform/portable/windows/window_table.h"
#include "platform/program_windows.h"
#include "platform/shell32.h"
#include "platform/user32.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testing_support::TestMachine;

class User32 : public ::testing::Test {
protected:
    ~User32() override {
        for (HWND w : own_)
            portable::DestroyProgramWindow(w);
    }
    HWND Own(const char* title) {
        HWND w = portable::CreateProgramWindow(title, [this](UINT m, WPARAM, LPARAM) {
            received_.push_back(m);
            return LRESULT{7};
        });
        own_.push_back(w);
        return w;
    }
    std::vector<HWND> Enumerated() {
        std::vector<HWND> seen;
        win::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&seen));
        return seen;
    }

    TestMachine machine_;
    std::vector<HWND> own_;
    std::vector<UINT> received_;
};

TEST_F(User32, EnumWindowsGoesFromTheProgramsWindowsToTheOthers) {
    HWND a = portable::OpenOtherWindow(machine_.machine(), "A", true);
    HWND b = portable::OpenOtherWindow(machine_.machine(), "B", false);
    HWND first = Own("first");
    HWND second = Own("second");
    EXPECT_EQ(Enumerated(), (std::vector<HWND>{second, first, a, b}));
    win::SetWindowPos(first, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    win::SetWindowPos(second, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(Enumerated(), (std::vector<HWND>{first, second, a, b})); // topmost stays above
    win::SetWindowPos(first, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_FALSE(portable::LookUpWindow(first)->topmost);

    // Stopping early.
    int calls = 0;
    win::EnumWindows([](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<int*>(p) < 2; },
                     reinterpret_cast<LPARAM>(&calls));
    EXPECT_EQ(calls, 2);
}

TEST_F(User32, GetWindowTextCutsToTheBufferInTheAnsiCodePage) {
    HWND w = portable::OpenOtherWindow(machine_.machine(), "Größe", true);
    char buffer[8];
    std::memset(buffer, 0xA5, sizeof buffer);
    EXPECT_EQ(win::GetWindowTextA(w, buffer, 4), 3);
    EXPECT_STREQ(buffer, "Gr\xF6");
    EXPECT_EQ(win::GetWindowTextA(w, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "Gr\xF6\xDF"
                         "e");
    EXPECT_EQ(win::GetWindowTextA(w, buffer, 0), 0);
    win::SetLastError(0);
    EXPECT_EQ(win::GetWindowTextA(WindowHandle(0x1234), buffer, 8), 0);
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(win::IsWindowVisible(WindowHandle(0x1234)));
}

TEST_F(User32, MessagesCloseOtherWindowsAndBroadcastsAreJournaled) {
    HWND other = portable::OpenOtherWindow(machine_.machine(), "Symbole", true);
    HWND own = Own("mine");
    auto start = machine_.machine().ReadJournal().back().id;
    EXPECT_EQ(win::SendMessageA(own, WM_CLOSE, 0, 0), 7);
    EXPECT_EQ(received_, (std::vector<UINT>{WM_CLOSE}));
    EXPECT_EQ(win::SendMessageA(other, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(portable::LookUpWindow(other));
    win::SendMessageA(HWND_BROADCAST, WM_WININICHANGE, SPI_SETICONMETRICS,
                      reinterpret_cast<LPARAM>("Control Panel\\Desktop\\WindowMetrics"));
    EXPECT_EQ(received_.back(), WM_WININICHANGE);
    std::vector<std::string> entries;
    for (const auto& e : machine_.machine().ReadJournal(start))
        entries.push_back(e.text);
    EXPECT_EQ(entries,
              (std::vector<std::string>{
                  "window closed \"Symbole\"",
                  "broadcast WM_WININICHANGE 46 \"Control Panel\\Desktop\\WindowMetrics\""}));
}

TEST_F(User32, ExitWindowsExOnlyMarksARestart) {
    EXPECT_EQ(portable::PendingRestart(machine_.machine()), "");
    EXPECT_TRUE(win::ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(portable::PendingRestart(machine_.machine()), "reboot");
    portable::Boot(portable::CurrentFileSystem());
    EXPECT_EQ(portable::PendingRestart(machine_.machine()), "");
}

TEST_F(User32, TheDisplayComesFromTheMachinesSettings) {
    HDC screen = win::GetDC(nullptr);
    EXPECT_EQ(win::GetDeviceCaps(screen, HORZRES), 1024);
    EXPECT_EQ(win::GetDeviceCaps(screen, VERTRES), 768);
    EXPECT_EQ(win::GetDeviceCaps(screen, BITSPIXEL), 16);
    EXPECT_EQ(win::GetDeviceCaps(screen, PLANES), 1);
    EXPECT_EQ(win::GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(win::ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(win::GetDeviceCaps(screen, HORZRES), 0); // released

    APPBARDATA bar{};
    bar.cbSize = sizeof bar;
    EXPECT_TRUE(win::SHAppBarMessage(ABM_GETTASKBARPOS, &bar));
    EXPECT_EQ((std::vector<LONG>{bar.rc.left, bar.rc.top, bar.rc.right, bar.rc.bottom}),
              (std::vector<LONG>{-2, 740, 1026, 770}));
    portable::WriteTaskbar(machine_.machine(), "none");
    APPBARDATA none{};
    EXPECT_FALSE(win::SHAppBarMessage(ABM_GETTASKBARPOS, &none));
    EXPECT_EQ(none.rc.right, 0);
}

// A run with windows on a display sees that display's screen; nothing is stored, and the
// machine's own display comes back when the run lets go of it.
TEST_F(User32, ARunsHostScreenIsAnsweredButNeverStored) {
    auto caps = [] {
        HDC screen = win::GetDC(nullptr);
        std::vector<int> got;
        for (int index : {HORZRES, VERTRES, BITSPIXEL, PLANES, LOGPIXELSX})
            got.push_back(win::GetDeviceCaps(screen, index));
        win::ReleaseDC(nullptr, screen);
        return got;
    };
    auto taskbar = [] {
        APPBARDATA bar{};
        bar.cbSize = sizeof bar;
        BOOL found = static_cast<BOOL>(win::SHAppBarMessage(ABM_GETTASKBARPOS, &bar));
        return std::vector<LONG>{found, bar.rc.left, bar.rc.top, bar.rc.right, bar.rc.bottom};
    };
    portable::Display fine;
    fine.dpi = 120;
    fine.taskbar = RECT{-2, 740, 1026, 770};
    portable::WriteDisplay(machine_.machine(), fine);
    win::ShowWindowsOn(win::HostScreen{1920, 1080, 24, RECT{0, 0, 1920, 32}});
    EXPECT_EQ(caps(), (std::vector<int>{1920, 1080, 24, 1, 120})) << "the dpi stays the machine's";
    EXPECT_EQ(taskbar(), (std::vector<LONG>{TRUE, 0, 0, 1920, 32}));
    auto stored = portable::Machine::Open(machine_.root());
    EXPECT_EQ(stored->Setting("display.width"), "1024") << "what another process sees";

    win::ShowWindowsOn(win::HostScreen{800, 600, 8, std::nullopt});
    EXPECT_EQ(caps(), (std::vector<int>{800, 600, 8, 1, 120}));
    EXPECT_EQ(taskbar()[0], FALSE) << "a desktop without panels";

    win::ForgetHostScreen();
    EXPECT_EQ(caps(), (std::vector<int>{1024, 768, 16, 1, 120}));
    EXPECT_EQ(taskbar(), (std::vector<LONG>{TRUE, -2, 740, 1026, 770}));
}

TEST_F(User32, RectanglesAreRecordedWithTheSelectedBrush) {
    portable::ForgetDrawing();
    HDC screen = win::GetDC(nullptr);
    HBRUSH brush = win::CreateSolidBrush(RGB(1, 2, 3));
    HGDIOBJ before = win::SelectObject(screen, brush);
    EXPECT_NE(before, nullptr);
    EXPECT_TRUE(win::Rectangle(screen, 1, 2, 3, 4));
    EXPECT_EQ(win::SelectObject(screen, before), brush);
    EXPECT_TRUE(win::Rectangle(screen, 5, 6, 7, 8));
    win::ReleaseDC(nullptr, screen);
    EXPECT_TRUE(win::DeleteObject(brush));
    EXPECT_FALSE(win::DeleteObject(brush));
    ASSERT_EQ(portable::DrawnRectangles().size(), 2u);
    EXPECT_EQ(portable::DrawnRectangles()[0].fill, RGB(1, 2, 3));
    EXPECT_EQ(portable::DrawnRectangles()[1].fill, RGB(255, 255, 255));
}

TEST_F(User32, AVirtualClockOnlyAddsUpTheTime) {
    portable::UseClock(portable::ClockKind::Virtual);
    DWORD start = win::GetTickCount();
    win::Sleep(150);
    win::Sleep(300);
    EXPECT_EQ(win::GetTickCount() - start, 450u);
    portable::UseClock(std::nullopt);
    portable::SetMachineClock(machine_.machine(), portable::ClockKind::Virtual);
    EXPECT_EQ(portable::CurrentClock(), portable::ClockKind::Virtual);
    portable::SetMachineClock(machine_.machine(), portable::ClockKind::Real);
}

} // namespace
