// Where a path leads on a drive: what the file system's reading side (file_system.cpp) and
// its changing side (file_changes.cpp) share. Nothing else includes it.
#pragma once

#include "platform/portable/files/file_system.h"
#include "platform/portable/store/sqlite_db.h"

#include <memory>
#include <optional>
#include <string>

namespace portable {

// The attributes the names table keeps; a folder's or a file's kind comes from the host.
inline constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

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

struct FileSystem::Target {
    WinPath parsed;
    std::optional<Transaction> txn; // begun before the walk when asked
    Located at;
};

} // namespace portable
