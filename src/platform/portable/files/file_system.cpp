#include "platform/portable/files/file_system.h"

#include "platform/codepage.h"
#include "platform/portable/files/folder_listing.h"
#include "platform/portable/files/host_tree.h"
#include "platform/portable/files/session.h"
#include "platform/portable/files/short_name.h"
#include "platform/portable/files/stored_names.h"
#include "platform/portable/store/sqlite_db.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

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

} // namespace

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

namespace {

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

// A name that no Windows path can reach (the '?'), so the folder's listing never shows it;
// one no other process, nor a later one with the same number, ever uses.
std::string PrivateTempName() {
    static const unsigned nonce = std::random_device()();
    static unsigned counter = 0;
    return "~zep?" + std::to_string(::getpid()) + "." + std::to_string(nonce % 100000) + "." +
           std::to_string(++counter);
}

// Where a private name lies, so that the session can list it while it may be left behind.
struct PrivateNames {
    Session& session;
    const std::string& dirKey;
};

UniqueFd ReopenReadOnly(int fd) {
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    return UniqueFd(::open(self.c_str(), O_RDONLY | O_CLOEXEC));
}

bool CopyContents(int from, int to) {
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

// A file with more than one link may be another name of a file outside the machine, so it
// is never changed in place: its name gets a new file of its own (with the contents when
// keep is set), renamed over it, and every other link keeps the old file as it was.
DWORD ReplaceByOwnCopy(int dirFd, const std::string& name, bool keep, UniqueFd& fd,
                       const PrivateNames& names) {
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return ERROR_ACCESS_DENIED;
    std::string temp = PrivateTempName();
    names.session.Begun(names.dirKey, temp);
    UniqueFd copy(::openat(dirFd, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           st.st_mode & 0777));
    if (!copy.valid()) {
        names.session.Done(names.dirKey, temp);
        return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    }
    DWORD rc = ERROR_SUCCESS;
    if (keep) {
        UniqueFd source = ReopenReadOnly(fd.get());
        if (!source.valid() || !CopyContents(source.get(), copy.get()) ||
            ::fsync(copy.get()) != 0 || ::lseek(copy.get(), 0, SEEK_SET) != 0)
            rc = errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    }
    if (rc == ERROR_SUCCESS && ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0)
        rc = ERROR_ACCESS_DENIED;
    if (rc != ERROR_SUCCESS)
        ::unlinkat(dirFd, temp.c_str(), 0);
    names.session.Done(names.dirKey, temp);
    if (rc != ERROR_SUCCESS)
        return rc;
    fd = std::move(copy);
    return ERROR_SUCCESS;
}

// After an existing entry was opened by name: it must be a plain file, and one about to be
// changed must be this machine's only link to it. truncate empties it.
DWORD CheckOpened(int dirFd, const std::string& name, bool changes, bool truncate, UniqueFd& fd,
                  const PrivateNames& names) {
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return ERROR_ACCESS_DENIED;
    if (!changes)
        return ERROR_SUCCESS;
    if (st.st_nlink > 1)
        return ReplaceByOwnCopy(dirFd, name, !truncate, fd, names);
    if (truncate && ::ftruncate(fd.get(), 0) != 0)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// Records the store's side of a host change already made and commits it. When a store write
// or the commit fails, undo puts the host back and the failure passes on, so the drive and
// the store never disagree.
template <typename Record, typename Undo>
void RecordOrUndo(Transaction& txn, Record record, Undo undo) {
    try {
        record();
        txn.Commit();
    } catch (...) {
        undo();
        throw;
    }
}

// Takes an entry out of the way under a name no Windows path reaches, so that its removal
// can still be undone until the store has committed it.
bool SetAside(int dirFd, const std::string& name, std::string& aside, const PrivateNames& names) {
    aside = PrivateTempName();
    names.session.Begun(names.dirKey, aside);
    if (RenameNoReplace(dirFd, name, dirFd, aside) == 0)
        return true;
    names.session.Done(names.dirKey, aside);
    return false;
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
    UniqueFd dirFd;      // folder that holds the leaf; the drive folder for a root
    std::string dirKey;  // key of that folder in the names table
    std::string longDir; // that folder's long path, "C:" for the root
    std::shared_ptr<const FolderListing> listing; // that folder's entries; null: the store's
    std::optional<DirEntry> leaf;                 // the entry the path names, when it exists
    std::string leafName;                         // the last component as written
    bool isRoot = false;
};

struct FileSystem::Change {
    WinPath parsed;
    std::optional<Transaction> txn;
    Located at;
};

namespace {

// Rows of the names table written by any file system of this process: one that did not
// write them cannot trust its kept listings (the store's own watch does not see a write of
// the same connection).
std::atomic<std::uint64_t> namesWritten{0};

// Picks aliases for new names of one folder; what the folder's entries use is taken.
class AliasChooser {
public:
    explicit AliasChooser(const std::vector<DirEntry>& entries) {
        used_.reserve(entries.size() * 2);
        for (const auto& e : entries) {
            ++used_[win::AnsiUpper(e.longName)];
            if (!e.shortName.empty())
                ++used_[win::AnsiUpper(e.shortName)];
        }
    }

    // An alias may equal no other entry's alias or long name; an entry's own long name does
    // not count ("README.TXT" is its own alias). listed: longName is one of the entries.
    std::string Choose(std::string_view longName, bool listed) {
        std::string own = win::AnsiUpper(longName);
        auto taken = [&](std::string_view candidate) {
            auto it = used_.find(std::string(candidate));
            if (it == used_.end())
                return false;
            return it->second - (listed && candidate == own ? 1 : 0) > 0;
        };
        std::string alias = MakeShortName(longName, taken, &nextTail_);
        if (!alias.empty())
            ++used_[alias];
        return alias;
    }

private:
    std::unordered_map<std::string, int> used_; // upper-case names and aliases in use
    std::unordered_map<std::string, unsigned> nextTail_;
};

} // namespace

FileSystem::FileSystem(Machine& machine)
    : machine_(machine), cache_(std::make_unique<FolderCache>()),
      names_(std::make_unique<StoredNames>(machine.store())), namesSeen_(namesWritten.load()) {}

FileSystem::~FileSystem() = default;

void FileSystem::CheckKeptListings() {
    Database& db = machine_.store();
    if (!db.InWriteTransaction())
        uncommitted_.clear(); // whatever was written is committed or gone
    if (namesWritten.load() != namesSeen_) {
        cache_->Clear();
        namesSeen_ = namesWritten.load();
    }
    // The store's one change signal: another connection may have committed names.
    std::uint64_t version = db.Version();
    if (version != dataVersion_)
        cache_->Clear();
    dataVersion_ = version;
}

void FileSystem::NamesWritten(const std::string& dirKey, bool below) {
    namesSeen_ = ++namesWritten;
    if (below)
        cache_->Clear();
    else
        cache_->Forget(dirKey);
    if (machine_.store().InWriteTransaction())
        uncommitted_.insert(below ? std::string() : dirKey);
}

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
    fd = OpenDriveFolder(machine_, drive);
    return fd.valid() ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
}

namespace {

std::string WhyNotAFolder(int dirFd, const std::string& name) {
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return "is missing";
    if (S_ISLNK(st.st_mode))
        return "is a symbolic link, not a plain folder";
    if (!S_ISDIR(st.st_mode))
        return "is not a folder";
    return std::string("cannot be opened (") + std::strerror(errno) + ")";
}

} // namespace

UniqueFd OpenDriveFolder(Machine& machine, const Drive& drive) {
    std::string name = std::string(1, drive.letter) + ":";
    if (!drive.problem.empty())
        throw MachineError("drive " + name + " " + drive.problem + "; refused");
    if (drive.runOnly)
        return UniqueFd(::open(drive.host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    UniqueFd fd(::open(machine.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        throw MachineError("cannot open the machine folder " + machine.root().string() + ": " +
                           std::strerror(errno));
    std::filesystem::path walked;
    for (const auto& part : drive.folder) {
        if (part == ".")
            continue;
        walked /= part;
        UniqueFd next = OpenDirAt(fd.get(), part.string());
        if (!next.valid())
            throw MachineError("drive " + name + " its folder " + walked.string() + " " +
                               WhyNotAFolder(fd.get(), part.string()) +
                               " inside the machine folder; refused");
        fd = std::move(next);
    }
    return fd;
}

std::vector<DirEntry> ListHostFolder(int dirFd, bool everything) {
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
        if (!ansi && !everything)
            continue;
        if (!ansi)
            ansi = host; // its bytes as they are: no Windows name, but a file of the drive
        // The folder's own listing tells a file from a folder on most file systems, so a
        // listing costs no call per entry; sizes and times are read where an entry is used
        // (RefreshEntry).
        bool directory = ent->d_type == DT_DIR;
        if (ent->d_type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(dirFd, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
                continue;
            directory = S_ISDIR(st.st_mode);
        } else if (ent->d_type != DT_REG && ent->d_type != DT_DIR) {
            continue; // symbolic links, devices, sockets: not part of the machine
        }
        DirEntry e;
        e.hostName = std::move(host);
        e.longName = std::move(*ansi);
        e.attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        entries.push_back(std::move(e));
    }
    ::closedir(dir);
    // Host order is arbitrary; sorting makes alias assignment to entries made outside the
    // machine repeatable. Of names equal but for case only the first is visible.
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.hostName < b.hostName; });
    std::vector<DirEntry> unique;
    unique.reserve(entries.size());
    std::unordered_set<std::string> seen;
    seen.reserve(entries.size());
    for (auto& e : entries) {
        if (everything || seen.insert(win::AnsiUpper(e.longName)).second)
            unique.push_back(std::move(e));
    }
    return unique;
}

namespace {

// Gives the entries without an alias one, in host name order, as a folder of new names is
// listed; each pick costs a few hash lookups, so a folder of N new names gets its aliases in
// O(N). record, when given, stores each.
void GiveAliases(std::vector<DirEntry>& entries,
                 const std::function<void(const DirEntry&)>& record = nullptr) {
    AliasChooser chooser(entries);
    for (auto& e : entries) {
        if (!e.shortName.empty())
            continue;
        e.shortName = chooser.Choose(e.longName, true);
        if (record)
            record(e);
    }
}

} // namespace

// Brings the stored aliases of a folder in line with what the host holds: entries made
// outside the machine get an alias, rows of vanished entries go.
void FileSystem::SyncNames(const std::string& dirKey, std::vector<DirEntry>& entries,
                           const struct stat* claim, bool locked) {
    struct Row {
        std::string shortName;
        DWORD attributes;
        bool seen = false;
    };
    std::unordered_map<std::string, Row> rows;
    for (auto& row : names_->Rows(dirKey))
        rows[row.upper] = Row{std::move(row.shortName), row.attributes, false};

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
    if (machine_.ReadOnly()) { // nothing can be recorded: the aliases they would get now
        GiveAliases(entries);
        return;
    }
    if (!stale) {
        if (claim)
            ClaimListed(dirKey, *claim);
        return;
    }
    if (!locked) {
        Transaction txn(machine_.store());
        SyncNames(dirKey, entries, claim, true); // again, now that no other process can interfere
        txn.Commit();
        return;
    }
    NamesWritten(dirKey);
    for (auto& [upper, row] : rows) {
        if (!row.seen)
            names_->Drop(dirKey, upper);
    }
    GiveAliases(entries, [&](const DirEntry& e) {
        RecordNew(dirKey, e.hostName, e.shortName, e.attributes & kStoredAttributes);
    });
    if (claim)
        names_->Claim(dirKey, FolderStamp::Of(*claim));
}

void FileSystem::ClaimListed(const std::string& dirKey, const struct stat& st) {
    Transaction txn(machine_.store());
    names_->Claim(dirKey, FolderStamp::Of(st));
    txn.Commit();
}

std::string FileSystem::NewAlias(const Located& at, std::string_view longName,
                                 std::string_view except) {
    if (!at.listing)
        return names_->NewAlias(at.dirKey, longName);
    if (except.empty())
        return AliasChooser(at.listing->entries).Choose(longName, false);
    std::vector<DirEntry> others = at.listing->entries;
    std::erase_if(others, [&](const DirEntry& e) { return e.hostName == except; });
    return AliasChooser(others).Choose(longName, false);
}

std::vector<DirEntry> FileSystem::AllEntries(const Located& at) {
    return at.listing ? at.listing->entries : names_->All(at.dirKey);
}

void FileSystem::FollowChange(const Located& at, const std::optional<FolderStamp>& before) {
    if (!before || at.drive.runOnly)
        return;
    if (auto after = StampOf(at.dirFd.get()))
        names_->Advance(at.dirKey, *before, *after);
}

void FileSystem::RecordNew(const std::string& dirKey, const std::string& hostName,
                           const std::string& shortName, DWORD attributes) {
    NamesWritten(dirKey);
    names_->Put(dirKey, hostName, shortName, attributes);
}

void FileSystem::ForgetName(const std::string& dirKey, const std::string& hostName,
                            bool directory) {
    NamesWritten(dirKey, directory);
    names_->Drop(dirKey, UpperKey(win::ToAnsi(hostName)));
    if (directory)
        names_->DropFolder(dirKey + "/" + hostName);
}

std::shared_ptr<const FolderListing> FileSystem::Entries(int dirFd, const std::string& dirKey,
                                                         bool stored) {
    CheckKeptListings();
    struct stat st {};
    bool stated = ::fstat(dirFd, &st) == 0;
    if (stated) {
        if (auto kept = cache_->Get(dirKey, st))
            return *kept ? *kept : FromStore(dirKey, st);
        if (stored && names_->Current(dirKey, FolderStamp::Of(st)))
            return FromStore(dirKey, st);
    }
    auto listing = std::make_shared<FolderListing>();
    listing->entries = ListHostFolder(dirFd);
    if (stored)
        SyncNames(dirKey, listing->entries, stated && Settled(st) ? &st : nullptr, false);
    else
        GiveAliases(listing->entries); // a run's own drive: nothing of it is stored
    listing->Index();
    if (stated)
        Keep(dirKey, st, listing);
    return listing;
}

std::shared_ptr<const FolderListing> FileSystem::FromStore(const std::string& dirKey,
                                                           const struct stat& st) {
    // A folder this process looks in again and again is read from the store once and kept:
    // hash look-ups instead of queries, still without listing the host folder.
    constexpr unsigned kQueriesBeforeReading = 256;
    if (storeQueries_.size() > 4096)
        storeQueries_.clear();
    if (++storeQueries_[dirKey] <= kQueriesBeforeReading) {
        Keep(dirKey, st, nullptr);
        return nullptr;
    }
    storeQueries_.erase(dirKey);
    auto listing = std::make_shared<FolderListing>();
    listing->entries = names_->All(dirKey);
    listing->Index();
    Keep(dirKey, st, listing);
    return listing;
}

void FileSystem::Keep(const std::string& dirKey, const struct stat& st,
                      std::shared_ptr<const FolderListing> listing) {
    // Rows this process wrote and has not committed yet are nothing to keep.
    bool uncommitted = machine_.store().InWriteTransaction() &&
                       (uncommitted_.count(dirKey) || uncommitted_.count(std::string()));
    if (!uncommitted)
        cache_->Put(dirKey, st, std::move(listing));
}

namespace {

// A kept listing's sizes and times are those of when it was taken, and the store keeps no
// kind, size or time: an entry a path names is looked at again. False when the host holds
// no plain file or folder of that name (any more).
bool RefreshEntry(int dirFd, DirEntry& entry) {
    struct stat st;
    if (::fstatat(dirFd, entry.hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)))
        return false;
    entry.attributes &= ~DWORD{FILE_ATTRIBUTE_DIRECTORY};
    if (S_ISDIR(st.st_mode))
        entry.attributes |= FILE_ATTRIBUTE_DIRECTORY;
    entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    entry.modifiedNs =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

} // namespace

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
    bool stored = !out.drive.runOnly;
    for (size_t i = 0; i < path.components.size(); ++i) {
        const std::string& name = path.components[i];
        out.listing = Entries(out.dirFd.get(), out.dirKey, stored);
        std::optional<DirEntry> fromStore;
        const DirEntry* it = nullptr;
        if (out.listing) {
            it = out.listing->Find(name);
        } else if ((fromStore = names_->Find(out.dirKey, name))) {
            it = &*fromStore;
        }
        bool leaf = i + 1 == path.components.size();
        if (leaf) {
            out.leafName = name;
            if (it) {
                out.leaf = *it;
                if (!RefreshEntry(out.dirFd.get(), *out.leaf))
                    out.leaf.reset();
            }
            return ERROR_SUCCESS;
        }
        if (!it)
            return ERROR_PATH_NOT_FOUND;
        // A file where a folder is named fails here (O_DIRECTORY), whatever the listing says.
        UniqueFd next = OpenDirAt(out.dirFd.get(), it->hostName);
        if (!next.valid())
            return ERROR_PATH_NOT_FOUND;
        out.dirFd = std::move(next);
        out.dirKey += "/" + it->hostName;
        out.longDir += "\\" + it->longName;
    }
    return ERROR_SUCCESS;
}

DWORD FileSystem::BeginChange(std::string_view path, bool mustExist, Change& out) {
    if (DWORD rc = Parse(path, out.parsed); rc != ERROR_SUCCESS)
        return rc;
    if (out.parsed.IsRoot())
        return ERROR_ACCESS_DENIED;
    out.txn.emplace(machine_.store());
    if (DWORD rc = Locate(out.parsed, Need::Write, out.at); rc != ERROR_SUCCESS)
        return rc;
    if (mustExist && !out.at.leaf)
        return ERROR_FILE_NOT_FOUND;
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
    Change change;
    if (DWORD rc = BeginChange(path, false, change); rc != ERROR_SUCCESS)
        return rc;
    auto& parsed = change.parsed;
    auto& txn = change.txn;
    auto& at = change.at;
    if (at.leaf)
        return ERROR_ALREADY_EXISTS;
    std::string host = win::FromAnsi(at.leafName);
    std::string alias = NewAlias(at, at.leafName);
    auto before = StampOf(at.dirFd.get());
    if (::mkdirat(at.dirFd.get(), host.c_str(), 0755) != 0)
        return errno == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED;
    RecordOrUndo(
        *txn,
        [&] {
            RecordNew(at.dirKey, host, alias, 0);
            FollowChange(at, before);
            machine_.Journal("mkdir " + win::FromAnsi(parsed.ToString()));
        },
        [&] { ::unlinkat(at.dirFd.get(), host.c_str(), AT_REMOVEDIR); });
    return ERROR_SUCCESS;
}

DWORD FileSystem::RemoveDirectory(std::string_view path) {
    Change change;
    if (DWORD rc = BeginChange(path, true, change); rc != ERROR_SUCCESS)
        return rc;
    auto& parsed = change.parsed;
    auto& txn = change.txn;
    auto& at = change.at;
    if (!at.leaf->IsDirectory())
        return ERROR_DIRECTORY;
    if (at.leaf->attributes & FILE_ATTRIBUTE_READONLY)
        return ERROR_ACCESS_DENIED;
    const std::string& host = at.leaf->hostName;
    struct stat st;
    if (::fstatat(at.dirFd.get(), host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return ERROR_ACCESS_DENIED;
    auto before = StampOf(at.dirFd.get());
    if (::unlinkat(at.dirFd.get(), host.c_str(), AT_REMOVEDIR) != 0)
        return errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED;
    // An empty folder comes back as it was but for its times.
    RecordOrUndo(
        *txn,
        [&] {
            ForgetName(at.dirKey, host, true);
            FollowChange(at, before);
            machine_.Journal("rmdir " + win::FromAnsi(parsed.ToString()));
        },
        [&] { ::mkdirat(at.dirFd.get(), host.c_str(), st.st_mode & 07777); });
    return ERROR_SUCCESS;
}

DWORD FileSystem::DeleteFile(std::string_view path) {
    return DeleteEntry(path, nullptr);
}

DWORD FileSystem::DeleteAndRecord(std::string_view path, const std::function<void()>& record) {
    if (machine_.store().InWriteTransaction())
        throw std::logic_error("DeleteAndRecord inside a transaction: its commit is not ours");
    return DeleteEntry(path, &record);
}

DWORD FileSystem::DeleteEntry(std::string_view path, const std::function<void()>* also) {
    Change change;
    if (DWORD rc = BeginChange(path, true, change); rc != ERROR_SUCCESS)
        return rc;
    auto& parsed = change.parsed;
    auto& txn = change.txn;
    auto& at = change.at;
    if (at.leaf->IsDirectory())
        return ERROR_ACCESS_DENIED;
    if (at.leaf->attributes & FILE_ATTRIBUTE_READONLY)
        return ERROR_ACCESS_DENIED; // as on Windows: the attribute must be cleared first
    // The file is set aside first and removed only once the store has committed.
    const std::string& host = at.leaf->hostName;
    auto record = [&] {
        ForgetName(at.dirKey, host, false);
        machine_.Journal("delete " + win::FromAnsi(parsed.ToString()));
        if (also)
            (*also)();
    };
    Session& session = machine_.session();
    auto before = StampOf(at.dirFd.get());
    std::string aside;
    if (!SetAside(at.dirFd.get(), host, aside, {session, at.dirKey})) {
        // A host file system that cannot spell the private name (FAT): the removal comes
        // between the store's writes and its commit, so only a failing commit leaves a row,
        // which the next listing drops.
        record();
        if (::unlinkat(at.dirFd.get(), host.c_str(), 0) != 0)
            return ERROR_ACCESS_DENIED;
        FollowChange(at, before);
        txn->Commit();
        session.Done(at.dirKey, host); // a temporary file of this process, gone as it should
        return ERROR_SUCCESS;
    }
    RecordOrUndo(
        *txn,
        [&] {
            record();
            FollowChange(at, before);
        },
        [&] {
            RenameNoReplace(at.dirFd.get(), aside, at.dirFd.get(), host);
            session.Done(at.dirKey, aside);
        });
    session.Done(at.dirKey, host); // a temporary file of this process, gone as it should
    // Should this fail, the session still lists the name for recovery to remove. The
    // removal changes the folder's times once more, so it is listed again when next used.
    if (::unlinkat(at.dirFd.get(), aside.c_str(), 0) == 0)
        session.Done(at.dirKey, aside);
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
    Change change;
    if (DWORD rc = BeginChange(path, true, change); rc != ERROR_SUCCESS)
        return rc;
    auto& parsed = change.parsed;
    auto& txn = change.txn;
    auto& at = change.at;
    DWORD stored = attributes & kStoredAttributes; // NORMAL alone means none of them
    NamesWritten(at.dirKey);
    names_->SetAttributes(at.dirKey, UpperKey(at.leaf->longName), stored);
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(stored));
    machine_.Journal("attrib " + win::FromAnsi(parsed.ToString()) + " " + text);
    txn->Commit();
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

    int flags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK; // a FIFO swapped in must not block
    if (request.read && request.write)
        flags |= O_RDWR;
    else
        flags |= request.write || truncates ? O_WRONLY : O_RDONLY;
    if (!exists)
        flags |= O_CREAT | O_EXCL;
    std::string host = exists ? at.leaf->hostName : win::FromAnsi(at.leafName);
    std::string alias = exists ? std::string() : NewAlias(at, at.leafName);
    auto before = StampOf(at.dirFd.get());
    // A temporary file is listed before it exists, so that no moment leaves it unlisted.
    bool listed = !exists && request.temporary;
    if (listed)
        machine_.session().Begun(at.dirKey, host);
    fd = UniqueFd(::openat(at.dirFd.get(), host.c_str(), flags, 0644));
    if (!fd.valid()) {
        int error = errno;
        if (listed)
            machine_.session().Done(at.dirKey, host);
        return error == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    }
    std::string journal = "write " + win::FromAnsi(parsed.ToString());
    if (!exists) {
        RecordOrUndo(
            txn,
            [&] {
                RecordNew(at.dirKey, host, alias, FILE_ATTRIBUTE_ARCHIVE);
                FollowChange(at, before);
                machine_.Journal(journal);
            },
            [&] {
                fd = UniqueFd();
                ::unlinkat(at.dirFd.get(), host.c_str(), 0);
            });
        return ERROR_SUCCESS;
    }
    PrivateNames names{machine_.session(), at.dirKey};
    if (DWORD rc = CheckOpened(at.dirFd.get(), host, false, false, fd, names); rc != ERROR_SUCCESS)
        return rc;
    // Emptying a file cannot be undone: the store's record of it is committed first, and at
    // worst tells of a change that then failed.
    if (truncates)
        machine_.Journal(journal);
    txn.Commit();
    bool changes = request.write || truncates;
    DWORD rc = CheckOpened(at.dirFd.get(), host, changes, truncates, fd, names);
    if (rc == ERROR_SUCCESS && request.temporary && truncates)
        names.session.Begun(at.dirKey, host);
    return rc;
}

DWORD FileSystem::OpenProgram(std::string_view path, UniqueFd& fd) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    Located at;
    if (DWORD rc = Locate(parsed, Need::Read, at); rc != ERROR_SUCCESS)
        return rc;
    if (!at.leaf)
        return ERROR_FILE_NOT_FOUND;
    if (at.isRoot || at.leaf->IsDirectory())
        return ERROR_ACCESS_DENIED;
    const std::string& host = at.leaf->hostName;
    fd = UniqueFd(
        ::openat(at.dirFd.get(), host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    PrivateNames names{machine_.session(), at.dirKey};
    if (DWORD rc = CheckOpened(at.dirFd.get(), host, false, false, fd, names); rc != ERROR_SUCCESS)
        return rc;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return ERROR_ACCESS_DENIED;
    if (st.st_mode & S_IXUSR)
        return ERROR_SUCCESS;
    // Windows starts a program whatever its host mode says; the mode is a change of the file.
    if (at.drive.ReadOnly())
        return ERROR_ACCESS_DENIED;
    if (DWORD rc = CheckOpened(at.dirFd.get(), host, true, false, fd, names); rc != ERROR_SUCCESS)
        return rc;
    if (::fchmod(fd.get(), (st.st_mode & 0777) | S_IXUSR) != 0)
        return ERROR_ACCESS_DENIED;
    // A copy made above is open for writing, which exec refuses: read-only from here on.
    UniqueFd reading = ReopenReadOnly(fd.get());
    if (!reading.valid())
        return ERROR_ACCESS_DENIED;
    fd = std::move(reading);
    return ERROR_SUCCESS;
}

DWORD FileSystem::Move(std::string_view from, std::string_view to, bool replace) {
    return MoveEntry(from, to, replace, nullptr);
}

DWORD FileSystem::MoveAndRecord(std::string_view from, std::string_view to,
                                const std::function<void()>& record, bool replace) {
    if (machine_.store().InWriteTransaction())
        throw std::logic_error("MoveAndRecord inside a transaction: its commit is not ours");
    return MoveEntry(from, to, replace, &record);
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
    auto srcBefore = StampOf(src.dirFd.get());
    auto dstBefore = dst.dirKey == src.dirKey ? std::nullopt : StampOf(dst.dirFd.get());
    // A replaced file keeps a second name until the store has committed, so that it can come
    // back; the rename over it stays one step for readers. A host without hard links (FAT)
    // cannot keep it.
    Session& session = machine_.session();
    std::string kept;
    if (replaces) {
        kept = PrivateTempName();
        session.Begun(dst.dirKey, kept);
        if (::linkat(dst.dirFd.get(), newHost.c_str(), dst.dirFd.get(), kept.c_str(), 0) != 0) {
            session.Done(dst.dirKey, kept);
            kept.clear();
        }
    }
    auto dropKept = [&] {
        if (!kept.empty() && ::unlinkat(dst.dirFd.get(), kept.c_str(), 0) == 0)
            session.Done(dst.dirKey, kept);
    };
    // Without replace an entry that appeared on the host meanwhile is never overwritten.
    int renamed = replaces || sameEntry ? ::renameat(src.dirFd.get(), src.leaf->hostName.c_str(),
                                                     dst.dirFd.get(), newHost.c_str())
                                        : RenameNoReplace(src.dirFd.get(), src.leaf->hostName,
                                                          dst.dirFd.get(), newHost);
    if (renamed != 0) {
        int error = errno;
        dropKept();
        return error == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED;
    }
    RecordOrUndo(
        txn,
        [&] {
            MoveNames(src, dst, newHost);
            FollowChange(src, srcBefore);
            FollowChange(dst, dstBefore);
            if (record)
                (*record)();
            else
                machine_.Journal("move " + win::FromAnsi(source.ToString()) + " -> " +
                                 win::FromAnsi(target.ToString()));
        },
        [&] {
            // The store keeps the entry where it was, and so does the drive.
            RenameNoReplace(dst.dirFd.get(), newHost, src.dirFd.get(), src.leaf->hostName);
            if (!kept.empty() &&
                RenameNoReplace(dst.dirFd.get(), kept, dst.dirFd.get(), newHost) == 0)
                session.Done(dst.dirKey, kept); // back under its name
        });
    dropKept();
    session.Done(src.dirKey, src.leaf->hostName); // a temporary file put in place
    return ERROR_SUCCESS;
}

// The names table after a rename: the entry leaves its folder (a replaced file goes), gets
// an alias in its new folder, and a folder's rows below it follow it.
void FileSystem::MoveNames(const Located& src, const Located& dst, const std::string& newHost) {
    bool sameEntry =
        dst.leaf && dst.dirKey == src.dirKey && dst.leaf->hostName == src.leaf->hostName;
    DWORD attributes = src.leaf->attributes & kStoredAttributes;
    NamesWritten(src.dirKey);
    names_->Drop(src.dirKey, UpperKey(src.leaf->longName));
    if (dst.leaf && !sameEntry)
        ForgetName(dst.dirKey, dst.leaf->hostName, false);
    // The moved entry gets an alias in its new folder, as a new name does on Windows: none
    // of the folder's other entries, as they were before the move, uses it.
    std::string alias;
    if (!dst.listing) {
        alias = names_->NewAlias(dst.dirKey, win::ToAnsi(newHost));
    } else {
        std::vector<DirEntry> others = dst.listing->entries;
        std::erase_if(others, [&](const DirEntry& e) {
            return e.hostName == newHost ||
                   (dst.dirKey == src.dirKey && e.hostName == src.leaf->hostName);
        });
        alias = AliasChooser(others).Choose(win::ToAnsi(newHost), false);
    }
    RecordNew(dst.dirKey, newHost, alias, attributes);
    if (!src.leaf->IsDirectory())
        return;
    NamesWritten(src.dirKey, true);
    names_->MoveFolder(src.dirKey + "/" + src.leaf->hostName, dst.dirKey + "/" + newHost);
}

DWORD FileSystem::DeleteTree(std::string_view path) {
    Change change;
    if (DWORD rc = BeginChange(path, true, change); rc != ERROR_SUCCESS)
        return rc;
    auto& parsed = change.parsed;
    auto& txn = change.txn;
    auto& at = change.at;
    // A removal cannot be undone: the store's writes come first, so that only a failing
    // commit can leave rows behind (the next listing drops them).
    ForgetName(at.dirKey, at.leaf->hostName, at.leaf->IsDirectory());
    machine_.Journal("delete tree " + win::FromAnsi(parsed.ToString()));
    auto before = StampOf(at.dirFd.get());
    bool removed = at.leaf->IsDirectory()
                       ? RemoveHostTree(at.dirFd.get(), at.leaf->hostName)
                       : ::unlinkat(at.dirFd.get(), at.leaf->hostName.c_str(), 0) == 0;
    if (!removed)
        return ERROR_ACCESS_DENIED; // rows of what did go are dropped when the folder is read
    FollowChange(at, before);
    txn->Commit();
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
    for (auto& e : AllEntries(at)) {
        if ((WildcardMatch(leaf, e.longName) || WildcardMatch(leaf, e.shortName)) &&
            RefreshEntry(at.dirFd.get(), e))
            out.push_back(std::move(e));
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
