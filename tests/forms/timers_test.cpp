// Timers tick on the machine's clock only where events are processed; a script step
// waits for its control while they tick, up to a bound.
#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/runtime.h"
#include "forms/timer.h"
#include "platform/kernel32.h"
#include "platform/portable/clock.h"
#include "support/ui_fixture.h"

#include <gtest/gtest.h>

namespace {

using testing_support::UiTest;

int ticks = 0;
bool clicked = false;

class Animated : public forms::Form {
public:
    Animated() : Form("Animated") {
        Link.SetVisible(false);
        Link.OnClick = [] {
            clicked = true;
            forms::End();
        };
        Timer1.SetInterval(3);
        Timer1.OnTimer = [this] {
            if (++ticks < 5)
                return;
            Timer1.SetEnabled(false);
            Link.SetVisible(true);
        };
    }

    forms::Label Link{*this, "Link"};
    forms::Timer Timer1{*this, "Timer1"};
};
forms::Global<Animated> Anim;

class Timers : public UiTest {
protected:
    Timers() {
        ticks = 0;
        clicked = false;
    }
};

TEST_F(Timers, AStepWaitsWhileTimersBringItsControl) {
    Script("click Animated.Link\n");
    std::uint64_t before = portable::VirtualMilliseconds();
    EXPECT_EQ(RunProgram([] { Anim->Show(); }), "");
    EXPECT_TRUE(clicked);
    EXPECT_EQ(ticks, 5);
    EXPECT_EQ(portable::VirtualMilliseconds() - before, 15u);
}

TEST_F(Timers, TicksArriveOnlyWhereEventsAreProcessed) {
    Anim->Show();
    win::Sleep(30);
    EXPECT_EQ(ticks, 0);
    forms::DoEvents();
    EXPECT_EQ(ticks, 1); // a late timer fires once, not once per missed interval
    forms::DoEvents();
    EXPECT_EQ(ticks, 1);
}

TEST_F(Timers, AControlThatNeverComesFailsAfterTheBound) {
    Script("click Animated.Link\n");
    std::string failure = RunProgram([] {
        Anim->Show();
        Anim->Timer1.OnTimer = [] { ++ticks; };
    });
    EXPECT_NE(failure.find("test.ui:1: step 'click Animated.Link' cannot run: Animated.Link is "
                           "not visible (timers ran for 6000"),
              std::string::npos)
        << failure;
    EXPECT_GT(ticks, 1000);
}

TEST_F(Timers, WithoutTimersAStepFailsAtOnce) {
    Script("click Animated.Link\n");
    std::string failure = RunProgram([] {
        Anim->Show();
        Anim->Timer1.SetEnabled(false);
    });
    EXPECT_NE(failure.find("Animated.Link is not visible; the program shows Animated"),
              std::string::npos)
        << failure;
    EXPECT_EQ(ticks, 0);
}

} // namespace
