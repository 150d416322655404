// The file system's changes of entries: folders made and removed, files deleted, attributes
// set, files opened (made, emptied, made executable), entries renamed, trees deleted. A host
// change is undone when the store's record of it fails (RecordOrUndo); one that cannot be
// undone comes after the store's writes.
#include "platform/portable/files/file_system.h"

#include "platform/codepage.h"
#include "platform/portable/files/change_record.h"
#include "platform/portable/files/host_tree.h"
#include "platform/portable/files/located.h"
#include "platform/portable/files/session.h"
#include "platform/portable/files/stored_names.h"
#include "platform/portable/store/sqlite_db.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace portable {
namespace {

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
        if (!source.valid() || !CopyFileBytes(source.get(), copy.get()) ||
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

FileChange Change(FileChange::Op op, std::string path, DWORD attributes = 0) {
    FileChange change;
    change.op = op;
    change.path = std::move(path);
    change.attributes = attributes & kStoredAttributes;
    return change;
}

} // namespace

std::string FileSystem::LongPathOf(const Located& at) {
    return at.longDir + "\\" + (at.leaf ? at.leaf->longName : at.leafName);
}

void FileSystem::RecordChange(FileChange& change, const Located* keep) {
    ChangeRecord& runs = machine_.Changes();
    if (keep)
        runs.Keep(keep->dirFd.get(), keep->leaf->hostName, change);
    runs.Record(change);
}

DWORD FileSystem::BeginChange(std::string_view path, bool mustExist, Target& out) {
    return Resolve(path,
                   {.need = Need::Write,
                    .mustExist = mustExist,
                    .refuseRoot = ERROR_ACCESS_DENIED,
                    .inTransaction = true},
                   out);
}

DWORD FileSystem::CreateDirectory(std::string_view path) {
    Target change;
    if (DWORD rc = BeginChange(path, false, change); rc != ERROR_SUCCESS)
        return rc;
    auto& parsed = change.parsed;
    auto& txn = change.txn;
    auto& at = change.at;
    if (at.leaf)
        return ERROR_ALREADY_EXISTS;
    std::string host = win::FromAnsi(at.leafName);
    std::string alias = NewAlias(at, at.leafName);
    FileChange made = Change(FileChange::Op::MadeFolder, LongPathOf(at));
    RecordChange(made);
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
    Target change;
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
    FileChange removed = Change(FileChange::Op::RemovedFolder, LongPathOf(at), at.leaf->attributes);
    RecordChange(removed);
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
    Target change;
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
    FileChange deleted = Change(FileChange::Op::DeletedFile, LongPathOf(at), at.leaf->attributes);
    RecordChange(deleted, &at);
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

DWORD FileSystem::SetAttributes(std::string_view path, DWORD attributes) {
    Target change;
    if (DWORD rc = BeginChange(path, true, change); rc != ERROR_SUCCESS)
        return rc;
    auto& parsed = change.parsed;
    auto& txn = change.txn;
    auto& at = change.at;
    DWORD stored = attributes & kStoredAttributes; // NORMAL alone means none of them
    FileChange set = Change(FileChange::Op::SetAttributes, LongPathOf(at), at.leaf->attributes);
    RecordChange(set);
    NamesWritten(at.dirKey);
    names_->SetAttributes(at.dirKey, UpperKey(at.leaf->longName), stored);
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(stored));
    machine_.Journal("attrib " + win::FromAnsi(parsed.ToString()) + " " + text);
    txn->Commit();
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
    bool creates = request.disposition != D::OpenExisting;
    bool truncates =
        request.disposition == D::CreateAlways || request.disposition == D::TruncateExisting;
    Need need = request.write || creates ? Need::Write : Need::Read;
    Target target;
    Reach reach{.need = need, .mustExist = false, .inTransaction = true};
    if (DWORD rc = Resolve(path, reach, target); rc != ERROR_SUCCESS)
        return rc;
    const WinPath& parsed = target.parsed;
    Transaction& txn = *target.txn;
    Located& at = target.at;
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
    if (!exists) {
        FileChange made = Change(FileChange::Op::MadeFile, LongPathOf(at));
        RecordChange(made);
    }
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
    bool changes = request.write || truncates;
    if (changes && !machine_.Changes().MadeByThisRun(LongPathOf(at))) {
        // Kept as it is: the link makes the name get a file of its own below.
        FileChange rewrote = Change(FileChange::Op::Rewrote, LongPathOf(at));
        RecordChange(rewrote, &at);
    }
    // Emptying a file cannot be undone: the store's record of it is committed first, and at
    // worst tells of a change that then failed.
    if (truncates)
        machine_.Journal(journal);
    txn.Commit();
    DWORD rc = CheckOpened(at.dirFd.get(), host, changes, truncates, fd, names);
    if (rc == ERROR_SUCCESS && request.temporary && truncates)
        names.session.Begun(at.dirKey, host);
    return rc;
}

DWORD FileSystem::OpenProgram(std::string_view path, UniqueFd& fd) {
    Target target;
    if (DWORD rc = Resolve(path, {}, target); rc != ERROR_SUCCESS)
        return rc;
    const Located& at = target.at;
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
    FileChange moved =
        Change(FileChange::Op::Moved, LongPathOf(src), replaces ? dst.leaf->attributes : 0);
    moved.other = dst.longDir + "\\" + (replaces ? dst.leaf->longName : dst.leafName);
    RecordChange(moved, replaces ? &dst : nullptr);
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

DWORD FileSystem::DeleteTree(std::string_view path) {
    WinPath parsed;
    if (DWORD rc = Parse(path, parsed); rc != ERROR_SUCCESS)
        return rc;
    if (parsed.IsRoot())
        return ERROR_ACCESS_DENIED;
    std::string full;
    if (DWORD rc = LongPath(path, full); rc != ERROR_SUCCESS)
        return rc;
    machine_.Journal("delete tree " + win::FromAnsi(full));
    return DeleteTreeEntry(full);
}

// Entry by entry through the calls a run records, deepest first, so that what the tree
// held can come back.
DWORD FileSystem::DeleteTreeEntry(const std::string& path) {
    DirEntry entry;
    if (DWORD rc = Stat(path, entry); rc != ERROR_SUCCESS)
        return rc;
    if (entry.attributes & FILE_ATTRIBUTE_READONLY) {
        DWORD rc = SetAttributes(path, entry.attributes & ~FILE_ATTRIBUTE_READONLY);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    if (!entry.IsDirectory())
        return DeleteFile(path);
    std::vector<DirEntry> children;
    if (DWORD rc = Find(path + "\\*", children); rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        return rc;
    for (const DirEntry& child : children) {
        if (child.longName == "." || child.longName == "..")
            continue;
        if (DWORD rc = DeleteTreeEntry(path + "\\" + child.longName); rc != ERROR_SUCCESS)
            return rc;
    }
    DWORD rc = RemoveDirectory(path);
    if (rc != ERROR_DIR_NOT_EMPTY)
        return rc;
    // Entries no Windows path names (the host's own) go without a record: no state of the
    // machine shows them.
    Target change;
    if (DWORD rc2 = BeginChange(path, true, change); rc2 != ERROR_SUCCESS)
        return rc2;
    FileChange removed =
        Change(FileChange::Op::RemovedFolder, LongPathOf(change.at), change.at.leaf->attributes);
    RecordChange(removed);
    ForgetName(change.at.dirKey, change.at.leaf->hostName, true);
    auto before = StampOf(change.at.dirFd.get());
    if (!RemoveHostTree(change.at.dirFd.get(), change.at.leaf->hostName))
        return ERROR_ACCESS_DENIED;
    FollowChange(change.at, before);
    change.txn->Commit();
    return ERROR_SUCCESS;
}

DWORD FileSystem::PutBack(std::string_view path, const std::string& kept) {
    if (kept.empty() || kept.find_first_not_of("0123456789-") != std::string::npos)
        return ERROR_INVALID_PARAMETER; // a kept name is the run log's own
    Target change;
    if (DWORD rc = BeginChange(path, false, change); rc != ERROR_SUCCESS)
        return rc;
    Located& at = change.at;
    if (at.leaf && at.leaf->IsDirectory())
        return ERROR_ACCESS_DENIED;
    UniqueFd keptFolder = machine_.Changes().OpenKept(false);
    struct stat st;
    if (!keptFolder.valid() ||
        ::fstatat(keptFolder.get(), kept.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    bool exists = at.leaf.has_value();
    std::string host = exists ? at.leaf->hostName : win::FromAnsi(at.leafName);
    std::string alias = exists ? std::string() : NewAlias(at, at.leafName);
    FileChange record =
        Change(exists ? FileChange::Op::Rewrote : FileChange::Op::MadeFile, LongPathOf(at));
    RecordChange(record, exists ? &at : nullptr);
    // A second name first, renamed over the entry: readers see the old file or the kept one.
    Session& session = machine_.session();
    std::string temp = PrivateTempName();
    session.Begun(at.dirKey, temp);
    if (::linkat(keptFolder.get(), kept.c_str(), at.dirFd.get(), temp.c_str(), 0) != 0) {
        session.Done(at.dirKey, temp);
        return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    }
    auto before = StampOf(at.dirFd.get());
    if (::renameat(at.dirFd.get(), temp.c_str(), at.dirFd.get(), host.c_str()) != 0) {
        ::unlinkat(at.dirFd.get(), temp.c_str(), 0);
        session.Done(at.dirKey, temp);
        return ERROR_ACCESS_DENIED;
    }
    session.Done(at.dirKey, temp);
    if (!exists)
        RecordNew(at.dirKey, host, alias, FILE_ATTRIBUTE_ARCHIVE);
    FollowChange(at, before);
    machine_.Journal("put back " + win::FromAnsi(LongPathOf(at)));
    change.txn->Commit();
    return ERROR_SUCCESS;
}

} // namespace portable
