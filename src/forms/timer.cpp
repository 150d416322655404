#include "forms/timer.h"

#include "forms/run_time_error.h"
#include "platform/kernel32.h"

namespace forms {

Timer::Timer(Form& form, std::string name, int index)
    : Control(form, std::move(name), ControlKind::Timer, index) {}

void Timer::SetInterval(int milliseconds) {
    if (milliseconds < 0 || milliseconds > 65535)
        Raise(kInvalidPropertyValue);
    interval_ = milliseconds;
    Restart();
    Changed(Property::Interval);
}

void Timer::SetEnabled(bool enabled) {
    bool starts = enabled && !Enabled();
    Control::SetEnabled(enabled);
    if (starts)
        Restart();
}

void Timer::Restart() {
    due_ = win::GetTickCount() + static_cast<DWORD>(interval_);
}

} // namespace forms
