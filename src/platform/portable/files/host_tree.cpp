#include "platform/portable/files/host_tree.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace portable {
namespace {

struct Child {
    std::string name;
    bool directory;
    std::uint64_t size;
};

// The entries of folder name in dirFd, read in full before anything is changed; the
// folder's descriptor goes to folderFd. False when the folder cannot be opened or read.
bool ReadChildren(int dirFd, const std::string& name, int& folderFd, std::vector<Child>& out) {
    folderFd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0)
        return false;
    int listFd = ::dup(folderFd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        ::close(folderFd);
        return false;
    }
    while (dirent* ent = ::readdir(dir)) {
        std::string child = ent->d_name;
        if (child == "." || child == "..")
            continue;
        struct stat st;
        if (::fstatat(folderFd, child.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        bool directory = S_ISDIR(st.st_mode);
        std::uint64_t size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
        out.push_back({std::move(child), directory, size});
    }
    ::closedir(dir);
    return true;
}

bool Remove(int dirFd, const std::string& name, int depth) {
    if (depth > kMaxHostTreeDepth)
        return false;
    int folderFd = -1;
    std::vector<Child> children;
    if (!ReadChildren(dirFd, name, folderFd, children))
        return false;
    bool ok = true;
    for (const auto& child : children) {
        bool gone = child.directory ? Remove(folderFd, child.name, depth + 1)
                                    : ::unlinkat(folderFd, child.name.c_str(), 0) == 0;
        ok = ok && gone;
    }
    ::close(folderFd);
    return ok && ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0;
}

bool Size(int dirFd, const std::string& name, std::uint64_t& bytes, int depth) {
    if (depth > kMaxHostTreeDepth)
        return false;
    int folderFd = -1;
    std::vector<Child> children;
    if (!ReadChildren(dirFd, name, folderFd, children))
        return false;
    bool ok = true;
    for (const auto& child : children) {
        bytes += child.size;
        if (child.directory)
            ok = Size(folderFd, child.name, bytes, depth + 1) && ok;
    }
    ::close(folderFd);
    return ok;
}

} // namespace

bool RemoveHostTree(int dirFd, const std::string& name) {
    return Remove(dirFd, name, 0);
}

bool HostTreeSize(int dirFd, const std::string& name, std::uint64_t& bytes) {
    return Size(dirFd, name, bytes, 0);
}

bool CopyFileBytes(int from, int to) {
    char buffer[1 << 16];
    off_t at = 0;
    for (;;) {
        ssize_t n = ::pread(from, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += w;
        }
        at += n;
    }
}

} // namespace portable
