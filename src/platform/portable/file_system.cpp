#include "platform/portable/file_system.h"

#include "platform/codepage.h"
#include "platform/portable/host_tree.h"
#include "platform/portable/short_name.h"
#include "platform/portable/sqlite_db.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace portable {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

namespace {

constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

UniqueFd OpenDirAt(int dirFd, const std::string& name) {
    return UniqueFd(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The visible Windows name of a host entry, or nothing when Windows could not name it.
std::optional<std::string> WindowsName(const std::string& hostName) {
    if (!win::IsAnsiRepresentable(hostName))
        return std::nullopt;
    std::string ansi = win::ToAnsi(hostName);
    if (win::FromAnsi(ansi) != hostName || !IsValidLongName(ansi))
        return std::nullopt;
    if (ansi.back() == '.' || ansi.back() == ' ')
        return std::nullopt; // Win32 strips these, so such a name could never be reached
    return ansi;
}

std::string UpperKey(std::string_view ansi) {
    return win::FromAnsi(win::AnsiUpper(ansi));
}

// DOS wildcard match, case-insensitive: * any run, ? one character.
bool Glob(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || win::AnsiUpper(static_cast<unsigned char>(pattern[p])) ==
                                             win::AnsiUpper(static_cast<unsigned char>(name[n])))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// Windows' reading of wildcards: "*.*" and a trailing ".*" also match names without
// a dot, and a trailing "." matches names without an extension.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (Glob(pattern, name))
        return true;
    if (name.find('.') == std::string_view::npos) {
        if (pattern.ends_with(".*"))
            return Glob(pattern.substr(0, pattern.size() - 2), name);
        if (pattern.ends_with("."))
            return Glob(pattern.substr(0, pattern.size() - 1), name);
    }
    return false;
}

// renameat that fails with EEXIST rather than replace. Where the host's file system cannot
// promise that, the target is looked at first.
int RenameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to) {
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    struct stat st;
    if (::fstatat(toDir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::renameat(fromDir, from.c_str(), toDir, to.c_str());
}

DirEntry DotEntry(std::string name) {
    DirEntry e;
    e.hostName = name;
    e.longName = name;
    e.attributes = FILE_ATTRIBUTE_DIRECTORY;
    return e;
}

} // namespace

struct FileSystem::Located {
    Drive drive;
    UniqueFd dirFd;                // folder that holds the leaf; the drive folder for a root
    std::string dirKey;            // key of that folder in the names table
    std::string longDir;           // that folder's long path, "C:" for the root
    std::vector<DirEntry> entries; // that folder's entries
    std::optional<DirEntry> leaf;  // the entry the path names, when it exists
    std::string leafName;          // the last component as written
    bool isRoot = false;
};

FileSystem::FileSystem(Machine& machine) : machine_(machine) {}

DWORD FileSystem::Parse(std::string_view path, WinPath& out, bool wildcardLeaf) const {
    return ParseWinPath(path, currentDir_, out, wildcardLeaf);
}

DWORD FileSystem::OpenDrive(char letter, Need need, Drive& drive, UniqueFd& fd) {
    auto found = machine_.FindDrive(letter);
    if (!found)
        return ERROR_PATH_NOT_FOUND;
    drive = *found;
    if (!drive.HasMedium())
        return ERROR_NOT_READY;
    if (need == Need::Write && drive.ReadOnly())
        return ERROR_ACCESS_DENIED;
    fd = UniqueFd(::open(drive.host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
}

std::vector<DirEntry> ListHostFolder(int dirFd) {
    std::vector<DirEntry> entries;
    int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return entries;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return entries;
    }
    while (dirent* ent = ::readdir(dir)) {
        std::string host = ent->d_name;
        if (host == "." || host == "..")
            continue;
        auto ansi = WindowsName(host);
        if (!ansi)
            continue;
        struct stat st;
        if (::fstatat(dirFd, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            continue; // symbolic links, devices, sockets: not part of the machine
        DirEntry e;
        e.hostName = std::move(host);
        e.longName = std::move(*ansi);
        e.attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        e.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
        e.modifiedNs =
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        entries.push_back(std::move(e));
    }
    ::closedir(dir);
    // Host order is arbitrary; sorting makes alias assignment to entries made outside the
    // machine repeatable. Of names equal but for case only the first is visible.
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.hostName < b.hostName; });
    std::vector<DirEntry> unique;
    for (auto& e : entries) {
        bool clash = std::any_of(unique.begin(), unique.end(), [&](const DirEntry& u) {
            return win::AnsiEqualsNoCase(u.longName, e.longName);
        });
        if (!clash)
            unique.push_back(std::move(e));
    }
    return unique;
}

// Brings the stored aliases of a folder in line with what the host holds: entries made
// outside the machine get an alias, rows of vanished entries go.
void FileSystem::SyncNames(const std::string& dirKey, std::vector<DirEntry>& entries, bool locked) {
    Database& db = machine_.store();
    struct Row {
        std::string shortName;
        DWORD attributes;
        bool seen = false;
    };
    std::unordered_map<std::string, Row> rows;
    auto& select = db.Prepare("SELECT upper, short, attrs FROM names WHERE dir = ?1");
    select.Bind(1, dirKey);
    while (select.Step())
        rows[select.Text(0)] =
            Row{win::ToAnsi(select.Text(1)), static_cast<DWORD>(select.Int(2)), false};

    bool stale = false;
    for (auto& e : entries) {
        auto it = rows.find(UpperKey(e.longName));
        if (it == rows.end()) {
            stale = true;
            continue;
        }
        it->second.seen = true;
        e.shortName = it->second.shortName;
        DWORD type = e.attributes & FILE_ATTRIBUTE_DIRECTORY;
        e.attributes = type | (it->second.attributes & kStoredAttributes);
    }
    for (auto& [upper, row] : rows)
        stale = stale || !row.seen;
    if (!stale)
        return;
    if (machine_.ReadOnly()) { // nothing can be recorded: the aliases they would get now
        for (auto& e : entries) {
            if (e.shortName.empty())
                e.shortName = AssignShortName(entries, e.longName);
        }
        return;
    }
    if (!locked) {
        Transaction txn(db);
        SyncNames(dirKey, entries, true); // again, now that no other process can interfere
        txn.Commit();
        return;
    }
    for (auto& [upper, row] : rows) {
        if (!row.seen)
            db.Prepare("DELETE FROM names WHERE dir = ?1 AND upper = ?2")
                .Bind(1, dirKey)
                .Bind(2, upper)
                .Run();
    }
    for (auto& e : entries) {
        if (!e.shortName.empty())
            continue;
        e.shortName = AssignShortName(entries, e.longName);
        RecordNew(dirKey, e.hostName, e.shortName, e.attributes & kStoredAttributes);
    }
}

std::string FileSystem::AssignShortName(const std::vector<DirEntry>& entries,
                                        std::string_view longName) {
    // An alias may equal no other entry's alias or long name; an entry's own long name
    // does not count ("README.TXT" is its own alias).
    auto taken = [&](std::string_view candidate) {
        return std::any_of(entries.begin(), entries.end(), [&](const DirEntry& e) {
            if (win::AnsiEqualsNoCase(e.longName, longName))
                return false;
            return (!e.shortName.empty() && win::AnsiEqualsNoCase(e.shortName, candidate)) ||
                   win::AnsiEqualsNoCase(e.longName, candidate);
        });
    };
    return MakeShortName(longName, taken);
}

void FileSystem::RecordNew(const std::string& dirKey, const std::string& hostName,
                           const std::string& shortName, DWORD attributes) {
    std::string ansi = win::ToAnsi(hostName);
    machine_.store()
        .Prepare("INSERT OR REPLACE INTO names(dir, name, upper, short, attrs) "
                 "VALUES(?1, ?2, ?3, ?4, ?5)")
        .Bind(1, dirKey)
        .Bind(2, hostName)
        .Bind(3, UpperKey(ansi))
        .Bind(4, win::FromAnsi(shortName))
        .Bind(5, static_cast<std::int64_t>(attributes))
        .Run();
}

void FileSystem::ForgetName(const std::string& dirKey, const std::string& hostName,
                            bool directory) {
    Database& db = machine_.store();
    db.Prepare("DELETE FROM names WHERE dir = ?1 AND upper = ?2")
        .Bind(1, dirKey)
        .Bind(2, UpperKey(win::ToAnsi(hostName)))
        .Run();
    if (directory) {
        std::string key = dirKey + "/" + hostName;
        db.Prepare("DELETE FROM names WHERE dir = ?1 OR substr(dir, 1, length(?1) + 1) = ?1 || '/'")
            .Bind(1, key)
            .Run();
    }
}

DWORD FileSystem::Entries(int dirFd, const std::string& dirKey, std::vector<DirEntry>& out) {
    out = ListHostFolder(dirFd);
    SyncNames(dirKey, out, false);
    return ERROR_SUCCESS;
}

DWORD FileSystem::Locate(const WinPath& path, Need need, Located& out) {
    if (DWORD rc = OpenDrive(path.drive, need, out.drive, out.dirFd); rc != ERROR_SUCCESS)
        return rc;
    out.dirKey = std::string{path.drive, ':'};
    out.longDir = out.dirKey;
    out.isRoot = path.IsRoot();
    if (out.isRoot) {
        out.leaf = DotEntry("\\");
        return ERROR_SUCCESS;
    }
    for (size_t i = 0; i < path.components.size(); ++i) {
        const std::string& name = path.components[i];
        Entries(out.dirFd.get(), out.dirKey, out.entries);
        auto it = std::find_if(out.entries.begin(), out.entries.end(), [&](const DirEntry& e) {
            return win::AnsiEqualsNoCase(e.longName, name) ||
                   win::AnsiEqualsNoCase(e.shortName, name);
        });
        bool leaf = i + 1 == path.components.size();
        if (leaf) {
            out.leafName = name;
            if (it != out.entries.end())
                out.leaf = *it;
            return ERROR_SUCCESS;
        }
        if (it == out.entries.end() || !it->IsDirectory())
            return ERROR_PATH_NOT_FOUND;
        UniqueFd next = OpenDirAt(out.dirFd.get(), it->hostName);
        if (!next.valid())
            return ERROR_PATH_NOT_FOUND;
        out.dirFd = std::move(next);
        out.dirKey += "/" + it->hostName;
        out.longDir += "\\" + it->longName;
    }
    return ERROR_SUCCESS;
}

DWORD FileSystem::SetCurrentDirectory(std::string_view path) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    Located at;
    if (DWORD rc = Locate(parsed, Need::Read, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    if (!at.leaf->IsDirectory())
        return ERROR_DIRECTORY;
    currentDir_ = parsed.ToString(); // as the caller spelt it, normalised

    return ERROR_SUCCESS;
}

UINT FileSystem::DriveType(std::string_view root) {
    if (root.empty())
        root = std::string_view(currentDir_).substr(0, 3);
    bool form = (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))) &&
                root[1] == ':';
    if (!form)
        return DRIVE_NO_ROOT_DIR;
    auto drive =
        machine_.FindDrive(static_cast<char>(win::AnsiUpper(static_cast<unsigned char>(root[0]))));
    return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

DWORD FileSystem::CreateDirectory(std::string_view path) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    if (parsed.IsRoot())
        return ERROR_ACCESS_DENIED;
    Transaction txn(machine_.store());
    Located at;
    if (DWORD rc = Locate(parsed, Need::Write, at); rc != ERROR_SUCCESS)
        return rc;
    if (at.leaf)
        return ERROR_ALREADY_EXISTS;
    std::string host = win::FromAnsi(at.leafName);
    if (::mkdirat(at.dirFd.get(), host.c_str(), 0755) != 0)
        return errno == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED;
    std::string alias = AssignShortName(at.entries, at.leafName);
    RecordNew(at.dirKey, host, alias, 0);
    machine_.Journal("mkdir " + win::FromAnsi(parsed.ToString()));
    txn.Commit();
    return ERROR_SUCCESS;
}

DWORD FileSystem::RemoveDirectory(std::string_view path) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    if (parsed.IsRoot())
        return ERROR_ACCESS_DENIED;
    Transaction txn(machine_.store());
    Located at;
    if (DWORD rc = Locate(parsed, Need::Write, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    if (!at.leaf->IsDirectory())
        return ERROR_DIRECTORY;
    if (at.leaf->attributes & FILE_ATTRIBUTE_READONLY)
        return ERROR_ACCESS_DENIED;
    if (::unlinkat(at.dirFd.get(), at.leaf->hostName.c_str(), AT_REMOVEDIR) != 0)
        return errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED;
    ForgetName(at.dirKey, at.leaf->hostName, true);
    machine_.Journal("rmdir " + win::FromAnsi(parsed.ToString()));
    txn.Commit();
    return ERROR_SUCCESS;
}

DWORD FileSystem::DeleteFile(std::string_view path) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    Transaction txn(machine_.store());
    Located at;
    if (DWORD rc = Locate(parsed, Need::Write, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    if (at.leaf->IsDirectory())
        return ERROR_ACCESS_DENIED;
    if (at.leaf->attributes & FILE_ATTRIBUTE_READONLY)
        return ERROR_ACCESS_DENIED; // as on Windows: the attribute must be cleared first
    if (::unlinkat(at.dirFd.get(), at.leaf->hostName.c_str(), 0) != 0)
        return ERROR_ACCESS_DENIED;
    ForgetName(at.dirKey, at.leaf->hostName, false);
    machine_.Journal("delete " + win::FromAnsi(parsed.ToString()));
    txn.Commit();
    return ERROR_SUCCESS;
}

DWORD FileSystem::Stat(std::string_view path, DirEntry& out) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    Located at;
    if (DWORD rc = Locate(parsed, Need::Read, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    out = *at.leaf;
    return ERROR_SUCCESS;
}

DWORD FileSystem::GetAttributes(std::string_view path, DWORD& attributes) {
    DirEntry entry;
    if (DWORD rc = Stat(path, entry); rc != ERROR_SUCCESS)
        return rc;
    attributes = entry.attributes;
    return ERROR_SUCCESS;
}

DWORD FileSystem::SetAttributes(std::string_view path, DWORD attributes) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    if (parsed.IsRoot())
        return ERROR_ACCESS_DENIED;
    Transaction txn(machine_.store());
    Located at;
    if (DWORD rc = Locate(parsed, Need::Write, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    DWORD stored = attributes & kStoredAttributes; // NORMAL alone means none of them
    machine_.store()
        .Prepare("UPDATE names SET attrs = ?3 WHERE dir = ?1 AND upper = ?2")
        .Bind(1, at.dirKey)
        .Bind(2, UpperKey(at.leaf->longName))
        .Bind(3, static_cast<std::int64_t>(stored))
        .Run();
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(stored));
    machine_.Journal("attrib " + win::FromAnsi(parsed.ToString()) + " " + text);
    txn.Commit();
    return ERROR_SUCCESS;
}

DWORD FileSystem::ShortPath(std::string_view path, std::string& out) {
    WinPath full;
    if (DWORD rc = Parse(path, full); rc != ERROR_SUCCESS)
        return rc;
    Located whole;
    if (DWORD rc = Locate(full, Need::Read, whole); rc != ERROR_SUCCESS)
        return rc;
    if (!whole.leaf)
        return ERROR_FILE_NOT_FOUND;

    // Walk the path as written, replacing each name by its alias.
    std::string_view rest = path;
    WinPath at;
    if (path.size() >= 2 && path[1] == ':') {
        out.assign(path.substr(0, 2));
        rest.remove_prefix(2);
        ParseWinPath(out, currentDir_, at);
    } else {
        out.clear();
        ParseWinPath(".", currentDir_, at);
    }
    if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/'))
        at.components.clear();
    size_t i = 0;
    while (i < rest.size()) {
        if (rest[i] == '\\' || rest[i] == '/') {
            out += rest[i++];
            continue;
        }
        size_t end = rest.find_first_of("\\/", i);
        if (end == std::string_view::npos)
            end = rest.size();
        std::string_view name = rest.substr(i, end - i);
        i = end;
        std::string_view trimmed = name;
        while (trimmed != "." && trimmed != ".." && !trimmed.empty() &&
               (trimmed.back() == '.' || trimmed.back() == ' '))
            trimmed.remove_suffix(1);
        if (trimmed == "." || trimmed == "..") {
            if (trimmed == ".." && !at.components.empty())
                at.components.pop_back();
            out += name;
            continue;
        }
        at.components.emplace_back(trimmed);
        Located step;
        if (DWORD rc = Locate(at, Need::Read, step); rc != ERROR_SUCCESS)
            return rc;
        if (!step.leaf)
            return ERROR_PATH_NOT_FOUND;
        out += step.leaf->shortName;
    }
    return ERROR_SUCCESS;
}

DWORD FileSystem::Open(std::string_view path, OpenMode mode, UniqueFd& fd) {
    using D = OpenRequest::Disposition;
    switch (mode) {
    case OpenMode::Read:
        return Open(path, OpenRequest{true, false, D::OpenExisting}, fd);
    case OpenMode::Write:
        return Open(path, OpenRequest{false, true, D::OpenExisting}, fd);
    case OpenMode::CreateTruncate:
        return Open(path, OpenRequest{false, true, D::CreateAlways}, fd);
    }
    return ERROR_INVALID_PARAMETER;
}

DWORD FileSystem::Open(std::string_view path, const OpenRequest& request, UniqueFd& fd) {
    using D = OpenRequest::Disposition;
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    bool creates = request.disposition != D::OpenExisting;
    bool truncates =
        request.disposition == D::CreateAlways || request.disposition == D::TruncateExisting;
    Need need = request.write || creates ? Need::Write : Need::Read;
    Transaction txn(machine_.store());
    Located at;
    if (DWORD rc = Locate(parsed, need, at); rc != ERROR_SUCCESS)
        return rc;
    if (at.isRoot || (at.leaf && at.leaf->IsDirectory()))
        return ERROR_ACCESS_DENIED;
    bool exists = at.leaf.has_value();
    if (exists && request.disposition == D::CreateNew)
        return ERROR_FILE_EXISTS;
    if (!exists &&
        (request.disposition == D::OpenExisting || request.disposition == D::TruncateExisting))
        return ERROR_FILE_NOT_FOUND;
    if (exists && (request.write || truncates) && (at.leaf->attributes & FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;

    int flags = O_NOFOLLOW | O_CLOEXEC;
    if (request.read && request.write)
        flags |= O_RDWR;
    else
        flags |= request.write || truncates ? O_WRONLY : O_RDONLY;
    if (!exists)
        flags |= O_CREAT | O_EXCL;
    else if (truncates)
        flags |= O_TRUNC;
    std::string host = exists ? at.leaf->hostName : win::FromAnsi(at.leafName);
    fd = UniqueFd(::openat(at.dirFd.get(), host.c_str(), flags, 0644));
    if (!fd.valid())
        return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    if (!exists) {
        std::string alias = AssignShortName(at.entries, at.leafName);
        RecordNew(at.dirKey, host, alias, FILE_ATTRIBUTE_ARCHIVE);
    }
    if (!exists || truncates)
        machine_.Journal("write " + win::FromAnsi(parsed.ToString()));
    txn.Commit();
    return ERROR_SUCCESS;
}

DWORD FileSystem::Move(std::string_view from, std::string_view to, bool replace) {
    return MoveEntry(from, to, replace, nullptr);
}

DWORD FileSystem::MoveAndRecord(std::string_view from, std::string_view to,
                                const std::function<void()>& record) {
    if (machine_.store().InWriteTransaction())
        throw std::logic_error("MoveAndRecord inside a transaction: its commit is not ours");
    return MoveEntry(from, to, false, &record);
}

DWORD FileSystem::MoveEntry(std::string_view from, std::string_view to, bool replace,
                            const std::function<void()>* record) {
    WinPath source, target;
    if (DWORD rc = Parse(from, source); rc != ERROR_SUCCESS)
        return rc;
    if (DWORD rc = Parse(to, target); rc != ERROR_SUCCESS)
        return rc;
    if (source.IsRoot() || target.IsRoot())
        return ERROR_ACCESS_DENIED;
    if (source.drive != target.drive)
        return ERROR_NOT_SAME_DEVICE;
    Transaction txn(machine_.store());
    Located src, dst;
    if (DWORD rc = Locate(source, Need::Write, src); rc != ERROR_SUCCESS)
        return rc;
    if (!src.leaf)
        return ERROR_FILE_NOT_FOUND;
    if (DWORD rc = Locate(target, Need::Write, dst); rc != ERROR_SUCCESS)
        return rc;
    bool sameEntry =
        dst.leaf && dst.dirKey == src.dirKey && dst.leaf->hostName == src.leaf->hostName;
    if (dst.leaf && !sameEntry) {
        if (!replace || dst.leaf->IsDirectory() || src.leaf->IsDirectory())
            return ERROR_ALREADY_EXISTS;
        if (dst.leaf->attributes & FILE_ATTRIBUTE_READONLY)
            return ERROR_ACCESS_DENIED;
    }
    if (src.leaf->IsDirectory()) {
        std::string srcKey = src.dirKey + "/" + src.leaf->hostName + "/";
        if ((dst.dirKey + "/").starts_with(srcKey))
            return ERROR_ACCESS_DENIED; // into itself
    }
    bool replaces = dst.leaf && !sameEntry;
    std::string newHost = replaces ? dst.leaf->hostName : win::FromAnsi(dst.leafName);
    // Without replace an entry that appeared on the host meanwhile is never overwritten.
    int renamed = replaces || sameEntry ? ::renameat(src.dirFd.get(), src.leaf->hostName.c_str(),
                                                     dst.dirFd.get(), newHost.c_str())
                                        : RenameNoReplace(src.dirFd.get(), src.leaf->hostName,
                                                          dst.dirFd.get(), newHost);
    if (renamed != 0)
        return errno == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED;

    try {
        MoveNames(src, dst, newHost);
        if (record)
            (*record)();
        else
            machine_.Journal("move " + win::FromAnsi(source.ToString()) + " -> " +
                             win::FromAnsi(target.ToString()));
        txn.Commit();
    } catch (...) {
        // The store keeps the entry where it was; so must the drive (a replaced file cannot
        // come back, which is why MoveAndRecord never replaces).
        if (!replaces)
            RenameNoReplace(dst.dirFd.get(), newHost, src.dirFd.get(), src.leaf->hostName);
        throw;
    }
    return ERROR_SUCCESS;
}

// The names table after a rename: the entry leaves its folder (a replaced file goes), gets
// an alias in its new folder, and a folder's rows below it follow it.
void FileSystem::MoveNames(const Located& src, const Located& dst, const std::string& newHost) {
    bool sameEntry =
        dst.leaf && dst.dirKey == src.dirKey && dst.leaf->hostName == src.leaf->hostName;
    DWORD attributes = src.leaf->attributes & kStoredAttributes;
    machine_.store()
        .Prepare("DELETE FROM names WHERE dir = ?1 AND upper = ?2")
        .Bind(1, src.dirKey)
        .Bind(2, UpperKey(src.leaf->longName))
        .Run();
    if (dst.leaf && !sameEntry)
        ForgetName(dst.dirKey, dst.leaf->hostName, false);
    // The moved entry gets an alias in its new folder, as a new name does on Windows.
    std::vector<DirEntry> siblings;
    Entries(dst.dirFd.get(), dst.dirKey, siblings);
    std::erase_if(siblings, [&](const DirEntry& e) { return e.hostName == newHost; });
    RecordNew(dst.dirKey, newHost, AssignShortName(siblings, win::ToAnsi(newHost)), attributes);
    if (!src.leaf->IsDirectory())
        return;
    machine_.store()
        .Prepare("UPDATE names SET dir = ?2 || substr(dir, length(?1) + 1) "
                 "WHERE dir = ?1 OR substr(dir, 1, length(?1) + 1) = ?1 || '/'")
        .Bind(1, src.dirKey + "/" + src.leaf->hostName)
        .Bind(2, dst.dirKey + "/" + newHost)
        .Run();
}

DWORD FileSystem::DeleteTree(std::string_view path) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    if (parsed.IsRoot())
        return ERROR_ACCESS_DENIED;
    Transaction txn(machine_.store());
    Located at;
    if (DWORD rc = Locate(parsed, Need::Write, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    bool removed = at.leaf->IsDirectory()
                       ? RemoveHostTree(at.dirFd.get(), at.leaf->hostName)
                       : ::unlinkat(at.dirFd.get(), at.leaf->hostName.c_str(), 0) == 0;
    if (!removed)
        return ERROR_ACCESS_DENIED; // rows of what did go are dropped when the folder is read
    ForgetName(at.dirKey, at.leaf->hostName, at.leaf->IsDirectory());
    machine_.Journal("delete tree " + win::FromAnsi(parsed.ToString()));
    txn.Commit();
    return ERROR_SUCCESS;
}

DWORD FileSystem::TreeSize(std::string_view path, std::uint64_t& bytes) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    Located at;
    if (DWORD rc = Locate(parsed, Need::Read, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    if (!at.leaf->IsDirectory()) {
        bytes = at.leaf->size;
        return ERROR_SUCCESS;
    }
    if (at.isRoot)
        return HostTreeSize(at.dirFd.get(), ".", bytes) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    return HostTreeSize(at.dirFd.get(), at.leaf->hostName, bytes) ? ERROR_SUCCESS
                                                                  : ERROR_ACCESS_DENIED;
}

DWORD FileSystem::LongPath(std::string_view path, std::string& out) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    Located at;
    if (DWORD rc = Locate(parsed, Need::Read, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    out = at.isRoot ? at.longDir + "\\" : at.longDir + "\\" + at.leaf->longName;
    return ERROR_SUCCESS;
}

DWORD FileSystem::Find(std::string_view pattern, std::vector<DirEntry>& out) {
    out.clear();
    WinPath parsed;
    if (DWORD rc = Parse(pattern, parsed, true); rc != ERROR_SUCCESS)
        return rc;
    if (parsed.IsRoot())
        return ERROR_FILE_NOT_FOUND; // "C:\" itself is no entry of a folder
    std::string leaf = parsed.components.back();
    Located at;
    if (DWORD rc = Locate(parsed, Need::Read, at); rc != ERROR_SUCCESS)
        return rc;
    bool wild = leaf.find_first_of("*?") != std::string::npos;
    if (!wild) {
        if (!at.leaf)
            return ERROR_FILE_NOT_FOUND;
        out.push_back(*at.leaf);
        return ERROR_SUCCESS;
    }
    if (parsed.components.size() > 1) {
        for (const char* dot : {".", ".."}) {
            if (WildcardMatch(leaf, dot))
                out.push_back(DotEntry(dot));
        }
    }
    for (const auto& e : at.entries) {
        if (WildcardMatch(leaf, e.longName) || WildcardMatch(leaf, e.shortName))
            out.push_back(e);
    }
    return out.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

DWORD FileSystem::HostPath(std::string_view path, std::filesystem::path& out) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    Located at;
    if (DWORD rc = Locate(parsed, Need::Read, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    out = at.drive.host;
    if (at.dirKey.size() > 3)
        out /= at.dirKey.substr(3); // "C:/WINDOWS/SYSTEM" -> "WINDOWS/SYSTEM"
    if (!at.isRoot)
        out /= at.leaf->hostName;
    return ERROR_SUCCESS;
}

} // namespace portable
