// The timer control: while its window is loaded, enabled and with an interval above 0, it
// raises Timer every Interval milliseconds on the machine's clock. Ticks arrive only
// where events are processed (DoEvents, or a window waiting for input); a tick that is
// late fires once, not once per missed interval.
#pragma once

#include "forms/control.h"

namespace forms {

class Timer : public Control {
public:
    Timer(Form& form, std::string name, int index = -1);

    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    void SetEnabled(bool enabled) override;

    std::function<void()> OnTimer;

    // For the runtime: the tick count at which the next tick is due.
    DWORD Due() const { return due_; }
    void Restart();

private:
    int interval_ = 0;
    DWORD due_ = 0;
};

} // namespace forms
