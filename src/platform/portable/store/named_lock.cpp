#include "platform/portable/store/named_lock.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/sha256.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace portable {
namespace {

constexpr const char* kFolder = "locks";

[[noreturn]] void Refuse(const Machine& machine, const std::string& what) {
    throw MachineError(machine.root().string() + ": " + what + ": " + std::strerror(errno));
}

// The lock's file, opened without following links; a name of any length or content maps
// to a file name of its own.
UniqueFd OpenLockFile(Machine& machine, std::string_view name) {
    UniqueFd root(::open(machine.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        Refuse(machine, "cannot open the machine folder");
    if (::mkdirat(root.get(), kFolder, 0755) != 0 && errno != EEXIST)
        Refuse(machine, "cannot make its folder of locks");
    UniqueFd folder(::openat(root.get(), kFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid())
        Refuse(machine, "its folder of locks is not a plain folder");
    auto digest = Sha256::Of(name);
    std::string file = HexText(digest.data(), 16) + ".lock";
    int flags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    UniqueFd fd(::openat(folder.get(), file.c_str(), flags | O_RDWR | O_CREAT, 0644));
    if (!fd.valid() && (errno == EACCES || errno == EROFS))
        fd = UniqueFd(::openat(folder.get(), file.c_str(), flags | O_RDONLY)); // read-only
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        Refuse(machine, "the lock '" + std::string(name) + "' cannot be opened");
    return fd;
}

} // namespace

std::optional<NamedLock> NamedLock::Try(Machine& machine, std::string_view name) {
    UniqueFd fd = OpenLockFile(machine, name);
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return std::nullopt;
        if (errno != EINTR)
            Refuse(machine, "the lock '" + std::string(name) + "' cannot be taken");
    }
    return NamedLock(std::move(fd));
}

std::optional<NamedLock> NamedLock::Wait(Machine& machine, std::string_view name,
                                         int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (auto lock = Try(machine, name))
            return lock;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace portable
