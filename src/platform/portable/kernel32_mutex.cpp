// kernel32 named mutexes on the portable machine: a machine lock (named_lock.h) held for as
// long as the handle is open.
#include "platform/kernel32.h"

#include "platform/portable/api_guard.h"
#include "platform/portable/handles.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/named_lock.h"

#include <optional>
#include <string>

namespace win {
namespace {

struct MutexObject : portable::KernelObject {
    std::optional<portable::NamedLock> lock; // held: this handle made the mutex
};

} // namespace

HANDLE CreateMutexA(void*, BOOL, LPCSTR name) {
    return portable::Guarded<HANDLE>(nullptr, [&]() -> HANDLE {
        if (!name || !*name) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto mutex = std::make_unique<MutexObject>();
        mutex->lock =
            portable::NamedLock::Try(portable::CurrentMachine(), std::string("mutex ") + name);
        bool made = mutex->lock.has_value();
        HANDLE handle = portable::AddHandle(std::move(mutex));
        SetLastError(made ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
        return handle;
    });
}

} // namespace win
