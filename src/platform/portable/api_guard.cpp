#include "platform/portable/api_guard.h"

#include "platform/portable/machine.h"
#include "platform/portable/sqlite_db.h"

#include <exception>
#include <new>

namespace portable {
namespace {

thread_local std::string lastFailure;

void Keep(const char* message) noexcept {
    try {
        lastFailure = message;
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

} // namespace portable
