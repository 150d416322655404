// The one error boundary of the platform calls. A call's body may throw when the machine
// behind it fails (its store, its folder, memory); a Win32 program knows no exceptions, so
// every call runs its body through Guarded and returns its documented failure result with
// the reason in GetLastError instead.
#pragma once

#include "platform/kernel32.h"
#include "platform/win_types.h"

#include <string>
#include <utility>

namespace portable {

// The Win32 error for the exception being handled: ERROR_ACCESS_DENIED for a store that
// cannot be written or a machine folder refused, ERROR_NOT_ENOUGH_MEMORY, and
// ERROR_WRITE_FAULT for any other failure of the store or the host. Only inside a catch.
// It also keeps the failure's message for LastFailureMessage().
DWORD CurrentFailure() noexcept;
// What the last failure a guard caught on this thread said (for tools and tests: the error
// code alone does not name the drive or the store that failed).
const std::string& LastFailureMessage() noexcept;
// What the first failure a guard caught said since the current machine was chosen; empty
// while the machine has not failed. A machine that failed once (its store damaged, locked
// for longer than the busy timeout, full or read-only, a folder refused) is not run on: the
// next wait of the process ends it (kernel32_clock.cpp), so that no program goes on working
// with calls that all fail.
std::string MachineFailure();
// A new machine is current (UseMachine): it has not failed.
void ForgetMachineFailure() noexcept;

template <typename R, typename Body> R Guarded(R failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        win::SetLastError(CurrentFailure());
        return failure;
    }
}

// For the calls that report nothing.
template <typename Body> void Guarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        win::SetLastError(CurrentFailure());
    }
}

} // namespace portable
