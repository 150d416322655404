#include "platform/portable/files/file_system.h"

#include "platform/codepage.h"
#include "platform/portable/files/folder_listing.h"
#include "platform/portable/files/host_tree.h"
#include "platform/portable/files/located.h"
#include "platform/portable/files/short_name.h"
#include "platform/portable/files/stored_names.h"
#include "platform/portable/store/sqlite_db.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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

DirEntry DotEntry(std::string name) {
    DirEntry e;
    e.hostName = name;
    e.longName = name;
    e.attributes = FILE_ATTRIBUTE_DIRECTORY;
    return e;
}

} // namespace

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

DWORD FileSystem::Resolve(std::string_view path, const Reach& reach, Target& out) {
    if (DWORD rc = Parse(path, out.parsed, reach.wildcardLeaf); rc != ERROR_SUCCESS)
        return rc;
    if (reach.refuseRoot != ERROR_SUCCESS && out.parsed.IsRoot())
        return reach.refuseRoot;
    if (reach.inTransaction)
        out.txn.emplace(machine_.store());
    if (DWORD rc = Locate(out.parsed, reach.need, out.at); rc != ERROR_SUCCESS)
        return rc;
    if (reach.mustExist && !out.at.leaf)
        return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

DWORD FileSystem::SetCurrentDirectory(std::string_view path) {
    Target target;
    if (DWORD rc = Resolve(path, {}, target); rc != ERROR_SUCCESS)
        return rc;
    if (!target.at.leaf->IsDirectory())
        return ERROR_DIRECTORY;
    currentDir_ = target.parsed.ToString(); // as the caller spelt it, normalised

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

DWORD FileSystem::Stat(std::string_view path, DirEntry& out) {
    Target target;
    if (DWORD rc = Resolve(path, {}, target); rc != ERROR_SUCCESS)
        return rc;
    out = *target.at.leaf;
    return ERROR_SUCCESS;
}

DWORD FileSystem::GetAttributes(std::string_view path, DWORD& attributes) {
    DirEntry entry;
    if (DWORD rc = Stat(path, entry); rc != ERROR_SUCCESS)
        return rc;
    attributes = entry.attributes;
    return ERROR_SUCCESS;
}

DWORD FileSystem::ShortPath(std::string_view path, std::string& out) {
    Target whole; // the path must name an existing entry
    if (DWORD rc = Resolve(path, {}, whole); rc != ERROR_SUCCESS)
        return rc;

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

DWORD FileSystem::TreeSize(std::string_view path, std::uint64_t& bytes) {
    Target target;
    if (DWORD rc = Resolve(path, {}, target); rc != ERROR_SUCCESS)
        return rc;
    const Located& at = target.at;
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
    Target target;
    if (DWORD rc = Resolve(path, {}, target); rc != ERROR_SUCCESS)
        return rc;
    const Located& at = target.at;
    out = at.isRoot ? at.longDir + "\\" : at.longDir + "\\" + at.leaf->longName;
    return ERROR_SUCCESS;
}

DWORD FileSystem::Find(std::string_view pattern, std::vector<DirEntry>& out) {
    out.clear();
    Target target;
    // "C:\" itself is no entry of a folder.
    Reach reach{.mustExist = false, .refuseRoot = ERROR_FILE_NOT_FOUND, .wildcardLeaf = true};
    if (DWORD rc = Resolve(pattern, reach, target); rc != ERROR_SUCCESS)
        return rc;
    const WinPath& parsed = target.parsed;
    const std::string& leaf = parsed.components.back();
    const Located& at = target.at;
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
    Target target;
    if (DWORD rc = Resolve(path, {}, target); rc != ERROR_SUCCESS)
        return rc;
    const Located& at = target.at;
    out = at.drive.host;
    if (at.dirKey.size() > 3)
        out /= at.dirKey.substr(3); // "C:/WINDOWS/SYSTEM" -> "WINDOWS/SYSTEM"
    if (!at.isRoot)
        out /= at.leaf->hostName;
    return ERROR_SUCCESS;
}

} // namespace portable
