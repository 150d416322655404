#include "platform/portable/files/session.h"

#include "platform/portable/machine.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace portable {
namespace {

constexpr const char* kFolder = "sessions";
// A session lists a few lines per change; more than this is no session of ours.
constexpr size_t kLongestSession = 16 << 20;

UniqueFd OpenFolder(Machine& machine, bool create) {
    UniqueFd root(::open(machine.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return root;
    if (create && ::mkdirat(root.get(), kFolder, 0755) != 0 && errno != EEXIST)
        return UniqueFd();
    return UniqueFd(::openat(root.get(), kFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::string RandomHex() {
    std::random_device random;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return text;
}

// Removes a plain file named by a session line, reached from its drive's folder without
// following links; nothing outside a writable drive of the machine is touched. The
// Windows form of its path when it was removed, else empty.
std::string RemoveListed(Machine& machine, const std::string& dirKey, const std::string& name) {
    if (dirKey.size() < 2 || dirKey[1] != ':' || name.empty() ||
        name.find('/') != std::string::npos || name == "." || name == "..")
        return {};
    auto drive = machine.FindDrive(dirKey[0]);
    if (!drive || !drive->HasMedium() || drive->ReadOnly() || !drive->problem.empty())
        return {};
    UniqueFd dir = OpenDriveFolder(machine, *drive);
    std::string shown = dirKey.substr(0, 2);
    for (size_t at = 2; at < dirKey.size() && dir.valid();) {
        size_t end = dirKey.find('/', at + 1);
        std::string part =
            dirKey.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        if (part.empty() || part == "." || part == "..")
            return {};
        dir = UniqueFd(
            ::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        shown += "\\" + part;
        at = end == std::string::npos ? dirKey.size() : end;
    }
    struct stat st;
    if (!dir.valid() || ::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode) || ::unlinkat(dir.get(), name.c_str(), 0) != 0)
        return {};
    return shown + "\\" + name;
}

// The names a session file lists as begun and not done.
std::set<std::pair<std::string, std::string>> OpenNames(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t n;
         text.size() < kLongestSession && (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    std::set<std::pair<std::string, std::string>> open;
    size_t at = 0;
    for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = text.substr(at, end - at);
        size_t slash = line.rfind('/');
        if (line.size() < 2 || slash == std::string::npos || slash == 0)
            continue;
        std::pair<std::string, std::string> entry{line.substr(1, slash - 1),
                                                  line.substr(slash + 1)};
        if (line[0] == '+')
            open.insert(entry);
        else if (line[0] == '-')
            open.erase(entry);
    }
    return open;
}

} // namespace

void Session::Write(char mark, const std::string& dirKey, const std::string& name) {
    if (!file_.valid()) {
        UniqueFd folder = OpenFolder(machine_, true);
        std::string candidate = std::to_string(::getpid()) + "-" + RandomHex();
        if (folder.valid())
            file_ = UniqueFd(::openat(folder.get(), candidate.c_str(),
                                      O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                      0644));
        if (!file_.valid() || ::flock(file_.get(), LOCK_EX | LOCK_NB) != 0) {
            file_ = UniqueFd();
            throw MachineError(
                machine_.root().string() +
                ": cannot keep a record of the changes under way: " + std::strerror(errno));
        }
        fileName_ = candidate;
    }
    std::string line = std::string(1, mark) + dirKey + "/" + name + "\n";
    if (::write(file_.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        throw MachineError(
            machine_.root().string() +
            ": cannot keep a record of the changes under way: " + std::strerror(errno));
}

void Session::Begun(const std::string& dirKey, const std::string& name) {
    Write('+', dirKey, name);
    open_.emplace(dirKey, name);
}

void Session::Done(const std::string& dirKey, const std::string& name) {
    auto it = open_.find({dirKey, name});
    if (it == open_.end())
        return;
    open_.erase(it);
    try {
        Write('-', dirKey, name);
    } catch (const MachineError&) {
        // Listed as begun: recovery finds the name gone, which is all it would do.
    }
}

Session::~Session() {
    if (!file_.valid())
        return;
    try {
        for (const auto& [dirKey, name] : open_)
            RemoveListed(machine_, dirKey, name);
    } catch (...) {
        return; // the session stays listed; whoever opens the machine next finishes it
    }
    UniqueFd folder = OpenFolder(machine_, false);
    if (folder.valid())
        ::unlinkat(folder.get(), fileName_.c_str(), 0);
}

int RecoverInterruptedChanges(Machine& machine) {
    UniqueFd folder = OpenFolder(machine, false);
    if (!folder.valid())
        return 0;
    std::vector<std::string> names;
    if (DIR* dir = ::fdopendir(::dup(folder.get()))) {
        while (dirent* entry = ::readdir(dir)) {
            if (entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN)
                names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    int removed = 0;
    for (const auto& name : names) {
        UniqueFd fd(
            ::openat(folder.get(), name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        struct stat st;
        // A live process holds its session's lock; a session another recovery took is gone.
        if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 ||
            ::fstat(fd.get(), &st) != 0 || st.st_nlink == 0 || !S_ISREG(st.st_mode))
            continue;
        for (const auto& [dirKey, listed] : OpenNames(fd.get())) {
            std::string path;
            try {
                path = RemoveListed(machine, dirKey, listed);
            } catch (const MachineError&) {
                continue; // a drive refused: what lies on it stays
            }
            if (path.empty())
                continue;
            machine.Journal("recover: removed " + path +
                            ", left half done by a process that ended");
            ++removed;
        }
        ::unlinkat(folder.get(), name.c_str(), 0);
    }
    return removed;
}

} // namespace portable
