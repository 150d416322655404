// The program's clock on Windows. ZEPSETUP_FAST_CLOCK=1 cuts the program's pauses to zero
// for tests and benchmarks: Sleep returns at once and moves the tick count on by what it
// would have waited, so timers and the program's waits keep their order.
#include "platform/kernel32.h"

#include <atomic>

namespace win {
namespace {

bool FastClock() {
    static const bool fast = [] {
        char value[4] = {};
        DWORD n = ::GetEnvironmentVariableA("ZEPSETUP_FAST_CLOCK", value, sizeof value);
        return n == 1 && value[0] == '1';
    }();
    return fast;
}

std::atomic<DWORD>& Skipped() {
    static std::atomic<DWORD> skipped{0};
    return skipped;
}

} // namespace

void Sleep(DWORD milliseconds) {
    if (!FastClock()) {
        ::Sleep(milliseconds);
        return;
    }
    Skipped() += milliseconds;
    ::Sleep(0); // gives up the rest of the time slice, as a pause would
}

DWORD GetTickCount() {
    return ::GetTickCount() + Skipped().load();
}

} // namespace win
