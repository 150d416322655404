// What the file system, the registry and the recycle bin tell before they change an entry:
// the change and what it replaces, recorded (by the machine's run log, runs/run_log.h)
// before the host or the store changes, so that the change can be taken back.
#pragma once

#include "platform/portable/files/file_system.h"

#include <cstdint>
#include <string>

namespace portable {

// One change of a file or folder, with what it replaced. Paths are long Windows paths
// (Windows-1252) as they were when the change was made.
struct FileChange {
    enum class Op {
        MadeFolder,    // path was made (an empty folder)
        RemovedFolder, // path, an empty folder with attributes, was removed
        MadeFile,      // path was made (an empty file)
        DeletedFile,   // path, a file with attributes and kept contents, was deleted
        Rewrote,       // path's contents were replaced; kept holds the old ones
        SetAttributes, // path's attributes were attributes
        Moved,         // path was renamed to other (other did not exist, or was replaced:
                       // then kept holds it and attributes are its attributes)
    };
    std::int64_t seq = 0;
    std::int64_t run = 0;
    Op op = Op::MadeFile;
    std::string path;
    std::string other;
    DWORD attributes = 0;
    std::string kept; // the name of the kept contents in runs/kept; empty when none
    std::int64_t bytes = 0;
};

class ChangeRecord {
public:
    virtual ~ChangeRecord() = default;
    // Makes sure this process's changes belong to a run (before a store row changes).
    virtual std::int64_t Join() = 0;
    // Records change before it happens: the host's or the store's, whichever comes first.
    virtual void Record(const FileChange& change) = 0;
    // Whether this process's run made path and has not removed it since: its contents
    // before a rewrite need no keeping, as taking the run back removes it.
    virtual bool MadeByThisRun(const std::string& path) const = 0;
    // Keeps the file name in the folder dirFd as it is now; sets change.kept and
    // change.bytes. Throws MachineError when it cannot be kept: the change must not happen.
    virtual void Keep(int dirFd, const std::string& name, FileChange& change) = 0;
    // The folder the kept files lie in, opened without following links (invalid when
    // missing).
    virtual UniqueFd OpenKept(bool create) = 0;

    // The registry's and the recycle bin's rows, recorded before the change commits. Each
    // joins a run first.
    // After registry key `key` was made below `parent` (0: none) as `name` (UTF-8, as
    // stored):
    virtual void KeyMade(std::int64_t key, std::int64_t parent, const std::string& name,
                         const std::string& upper) = 0;
    // Before `key`'s row and its values go, with every key below it when `tree`:
    virtual void KeysGoing(std::int64_t key, bool tree) = 0;
    // Before value `upper` (the upper-case name) of `key` is set (named `name` when it is
    // new) or deleted:
    virtual void ValueChanging(std::int64_t key, const std::string& upper, const std::string& name,
                               bool deleting) = 0;
    // Before recycle bin entry `id` is added or removed:
    virtual void RecycleChanging(std::int64_t id, bool adding) = 0;
};

} // namespace portable
