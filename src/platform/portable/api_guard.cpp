#include "platform/portable/api_guard.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"

#include <exception>
#include <mutex>
#include <new>

namespace portable {
namespace {

thread_local std::string lastFailure;

struct FirstFailure {
    std::mutex lock;
    std::string message;
};

FirstFailure& First() {
    static FirstFailure first;
    return first;
}

void Keep(const char* message) noexcept {
    try {
        lastFailure = message;
        FirstFailure& first = First();
        std::lock_guard guard(first.lock);
        if (first.message.empty())
            first.message = *message ? message : "unknown failure";
    } catch (...) {
        lastFailure.clear();
    }
}

} // namespace

DWORD CurrentFailure() noexcept {
    try {
        throw;
    } catch (const StoreError& e) {
        Keep(e.what());
        return e.ReadOnly() ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
    } catch (const MachineError& e) {
        Keep(e.what());
        return ERROR_ACCESS_DENIED;
    } catch (const std::bad_alloc&) {
        Keep("out of memory");
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::exception& e) {
        Keep(e.what());
        return ERROR_WRITE_FAULT;
    } catch (...) {
        Keep("unknown failure");
        return ERROR_WRITE_FAULT;
    }
}

const std::string& LastFailureMessage() noexcept {
    return lastFailure;
}

std::string MachineFailure() {
    FirstFailure& first = First();
    std::lock_guard guard(first.lock);
    return first.message;
}

void ForgetMachineFailure() noexcept {
    FirstFailure& first = First();
    std::lock_guard guard(first.lock);
    first.message.clear();
}

} // namespace portable
