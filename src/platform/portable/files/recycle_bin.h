// The recycle bin of a portable machine, kept as Windows 95 keeps it: a hidden system folder
// RECYCLED at the root of each drive, in which a recycled file or folder is renamed to
// D<drive letter><n><extension> (DC1, DC2.TXT). What Windows keeps in that folder's INFO file
// is kept in the store's recycle_bin table. Recycling and restoring are each one rename
// within the drive, with the record and the journal line in the rename's transaction:
// when the rename fails nothing is recorded, when the record fails the rename is undone.
//
// Restoring and emptying hold the bin's lock (named_lock.h) for their whole run, so that of
// two at once one does its work and the other is refused saying why (ERROR_BUSY);
// recycling waits for the lock.
//
// Records are not trusted (the store may come from anyone): an item is restored only from a
// name of the D<drive><n> form in its drive's bin, to a plain full path on that same drive
// outside the bin, and only through the machine's file system.
#pragma once

#include "platform/win_types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

class Database;
class FileSystem;

struct RecycledItem {
    std::int64_t id = 0; // the n of the stored name; never given twice
    char drive = 0;
    std::string stored;     // name in the drive's RECYCLED folder (Windows-1252)
    std::string original;   // the full long path it had (Windows-1252)
    std::string deleted;    // when it was recycled (TimeStamp)
    std::uint64_t size = 0; // bytes; of a folder, all the files in it
    bool folder = false;
    // "C:\RECYCLED\DC1"
    std::string StoredPath() const;
};

struct EmptyReport {
    int items = 0;                     // recorded items deleted (or found gone)
    int others = 0;                    // unrecorded entries of the bins deleted
    std::vector<std::string> problems; // UTF-8, one line per thing left
};

class RecycleBin {
public:
    static constexpr std::string_view kFolderName = "RECYCLED";

    // Creates the bin's table when the store lacks it (machines made before the bin).
    static void CreateSchema(Database& db);
    // True when a full path ("C:\RECYCLED\DC1") is a bin or lies in one.
    static bool Holds(std::string_view fullPath);

    explicit RecycleBin(FileSystem& files);

    // Moves an existing file or folder, whole, into the bin of its drive. A drive's root and
    // whatever lies in a bin are refused (ERROR_ACCESS_DENIED); so is a drive that cannot be
    // written.
    DWORD Recycle(std::string_view path, RecycledItem* item = nullptr);

    std::vector<RecycledItem> Items();
    std::optional<RecycledItem> Item(std::int64_t id);

    // Moves item id back to its original path, creating missing parent folders as Windows
    // does. Refused, with why (UTF-8) saying what is in the way: no such item, a record that
    // cannot be trusted, a drive the machine lacks, the item gone from the bin, something at
    // the original path now, a file where a parent folder should be.
    DWORD Restore(std::int64_t id, std::string& why);

    // Deletes every item for good with its record, and whatever else the drives' bins hold.
    // Records that cannot be trusted are dropped without touching a file.
    EmptyReport Empty();

private:
    DWORD EnsureFolder(char drive);
    std::int64_t NextNumber(char drive);
    void Insert(const RecycledItem& item);
    void Forget(std::int64_t id);
    DWORD MakeParents(const std::string& path, std::string& why);
    void EmptyItem(const RecycledItem& item, EmptyReport& report);
    void EmptyOthers(char drive, EmptyReport& report);

    FileSystem& files_;
};

} // namespace portable
