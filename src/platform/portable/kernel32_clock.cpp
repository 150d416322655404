// Sleep and GetTickCount on the machine's clock (see clock.h).
#include "platform/kernel32.h"

#include "platform/portable/api_guard.h"
#include "platform/portable/clock.h"
#include "platform/portable/machine.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace portable {
namespace {

constexpr const char* kClockSetting = "clock";

std::optional<ClockKind>& Override() {
    static std::optional<ClockKind> kind;
    return kind;
}

std::atomic<std::uint64_t>& VirtualTime() {
    static std::atomic<std::uint64_t> ms{0};
    return ms;
}

} // namespace

ClockKind MachineClock(Machine& machine) {
    return machine.Setting(kClockSetting) == "virtual" ? ClockKind::Virtual : ClockKind::Real;
}

void SetMachineClock(Machine& machine, ClockKind kind) {
    machine.SetSetting(kClockSetting, kind == ClockKind::Virtual ? "virtual" : "real");
}

ClockKind CurrentClock() {
    if (Override())
        return *Override();
    return MachineClock(CurrentMachine());
}

void UseClock(std::optional<ClockKind> kind) {
    Override() = kind;
}

std::uint64_t VirtualMilliseconds() {
    return VirtualTime().load();
}

} // namespace portable

namespace win {
namespace {

// The clock's kind, and the store let go of before a wait. A machine whose store cannot be
// read cannot keep its time, and no Win32 result can say so: a wait that does not wait, or
// a tick count that does not move, would spin the program's loops for ever. So the machine
// ends the program instead (main reports a std::exception and exits "could not run").
portable::ClockKind ClockBeforeWaiting(bool letGo) {
    if (std::string failure = portable::MachineFailure(); !failure.empty())
        throw portable::MachineError("the machine failed (" + failure + "); the run ends");
    try {
        portable::ClockKind kind = portable::CurrentClock();
        if (letGo)
            portable::LetGoOfStore();
        return kind;
    } catch (const std::exception& failure) {
        throw portable::MachineError(std::string("the machine failed, its clock cannot be read (") +
                                     failure.what() + "); the run ends");
    }
}

} // namespace

// Any wait, Sleep(0) included, first lets go of the store's kept snapshot (the clock is read
// from the store, so that comes first), so that a waiting process holds back no one's
// checkpoints.
void Sleep(DWORD milliseconds) {
    if (ClockBeforeWaiting(true) == portable::ClockKind::Virtual) {
        portable::VirtualTime() += milliseconds;
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() {
    if (ClockBeforeWaiting(false) == portable::ClockKind::Virtual)
        return static_cast<DWORD>(portable::VirtualMilliseconds());
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // namespace win
