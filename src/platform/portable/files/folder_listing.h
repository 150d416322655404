// What the file system knows of one host folder: its entries as Windows sees them (with
// aliases and stored attributes), indexed by name, and a per-process cache of such listings
// so that a path through a large folder costs a few hash lookups instead of a fresh listing.
// The cache also keeps, for a folder whose stored names are current (stored_names.h), that
// the store may answer for it, without asking the store again.
//
// A kept listing is used only while the folder is the same folder (device and inode) with
// the same modification and change times, while no other connection has committed to the
// store (FileSystem drops the cache then), and while this process wrote no rows for it (the
// writer forgets it). A listing taken within a few timer ticks of the folder's last change
// is not kept: a change in the same tick would leave the times as they were.
#pragma once

#include "platform/portable/files/file_system.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace portable {

struct FolderListing {
    std::vector<DirEntry> entries;

    // Builds the index; entries must not change afterwards.
    void Index();
    // The entry whose long name, else alias, is name (Windows-1252, any case).
    const DirEntry* Find(std::string_view ansiName) const;

private:
    std::unordered_map<std::string, size_t> index_; // upper-case long names, then aliases
};

// Whether the folder's times (st, from fstat) lie far enough back that a change made now
// would give it other ones.
bool Settled(const struct stat& st);

class FolderCache {
public:
    // What is kept for dirKey when the folder (st, from fstat) has not changed since: its
    // listing, or null when the store answers for it; nothing when nothing is kept.
    std::optional<std::shared_ptr<const FolderListing>> Get(const std::string& dirKey,
                                                            const struct stat& st);
    // Keeps listing (null: the store answers) for dirKey unless the folder is not Settled.
    void Put(const std::string& dirKey, const struct stat& st,
             std::shared_ptr<const FolderListing> listing);
    void Forget(const std::string& dirKey);
    void Clear() {
        kept_.clear();
        keptEntries_ = 0;
    }

private:
    struct Kept {
        dev_t device;
        ino_t inode;
        timespec modified;
        timespec changed;
        std::shared_ptr<const FolderListing> listing;
    };
    std::unordered_map<std::string, Kept> kept_;
    size_t keptEntries_ = 0;
};

} // namespace portable
