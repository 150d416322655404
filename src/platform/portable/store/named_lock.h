// Locks of a machine that die with their process: the one installation at a time, the
// recycle bin's one restore or empty at a time. A lock is an exclusive flock on a file of
// its own in the machine folder's "locks" folder, so the kernel lets go of it however the
// process ends (kill -9 included): no lock is ever left stale.
#pragma once

#include "platform/portable/files/file_system.h"

#include <optional>
#include <string_view>

namespace portable {

class Machine;

class NamedLock {
public:
    // The lock called name when no other holder has it (another process, or another
    // NamedLock of this one); nothing when it is held. MachineError when its file cannot be
    // made or opened.
    static std::optional<NamedLock> Try(Machine& machine, std::string_view name);
    // The same, waiting up to milliseconds for a holder to let go.
    static std::optional<NamedLock> Wait(Machine& machine, std::string_view name, int milliseconds);

private:
    explicit NamedLock(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

} // namespace portable
