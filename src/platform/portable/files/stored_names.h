// The store's side of the file system: every listed folder's names in table `names` (host
// name, upper-case long name, 8.3 alias, stored attributes), and in table `folders` the
// claim that lets a new process use them without listing the folder: the names stored for
// a folder are exactly its entries for as long as the folder keeps the device, inode,
// modification and change time recorded with it.
//
// The claim is made by a listing taken once the folder's times had settled, and carried
// forward by the machine's own changes: the folder's times are read just before and just
// after the host change, and the claim moves only from the first to the second, so that a
// change behind the machine's back (the host adds or removes files) leaves it behind and the
// folder is listed again. (A host whose folder times move only once per timer tick could
// hide a host change made in the same tick as the machine's; a kernel that gives a change
// after a read of the times distinct times, as Linux 6.13 and later do, cannot.) Names read
// from the store are data, never trusted as places: a host name that is not a valid Windows
// name is no entry.
#pragma once

#include "platform/portable/files/file_system.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace portable {

class Database;

// The times that date a folder's contents, with the folder's identity.
struct FolderStamp {
    std::int64_t device = 0, inode = 0, modifiedNs = 0, changedNs = 0;
    static FolderStamp Of(const struct stat& st);
    bool operator==(const FolderStamp&) const = default;
};

// The stamp of the folder dirFd now; nothing when it cannot be read.
std::optional<FolderStamp> StampOf(int dirFd);

class StoredNames {
public:
    explicit StoredNames(Database& db) : db_(db) {}

    // Tables `names` and `folders`; asked first, so that opening a machine that has them
    // writes nothing.
    static void CreateSchema(Database& db);

    // Whether the stored names of dirKey are the folder's while it has stamp.
    bool Current(const std::string& dirKey, const FolderStamp& stamp);
    // The names of dirKey were just made to agree with the folder at stamp.
    void Claim(const std::string& dirKey, const FolderStamp& stamp);
    // The machine changed the folder between before and after: a claim at before moves to
    // after; any other claim stays where it is (and so no longer holds).
    void Advance(const std::string& dirKey, const FolderStamp& before, const FolderStamp& after);

    // The entry named ansiName (long name first, then alias; any case), of a folder whose
    // names are current. Its kind, size and time are the caller's to read from the host.
    std::optional<DirEntry> Find(const std::string& dirKey, std::string_view ansiName);
    // Every entry of such a folder, by host name.
    std::vector<DirEntry> All(const std::string& dirKey);
    // The alias a new name gets in such a folder: no other entry uses it as name or alias.
    std::string NewAlias(const std::string& dirKey, std::string_view ansiLongName);

    // Rows of one folder, for bringing them in line with a listing: upper-case long name,
    // alias, stored attributes.
    struct Row {
        std::string upper, shortName;
        DWORD attributes = 0;
    };
    std::vector<Row> Rows(const std::string& dirKey);
    void Put(const std::string& dirKey, const std::string& hostName, std::string_view shortName,
             DWORD attributes);
    void Drop(const std::string& dirKey, const std::string& upper);
    void SetAttributes(const std::string& dirKey, const std::string& upper, DWORD attributes);
    // A folder dirKey + "/" + name is gone: its rows, those of everything below, the claims.
    void DropFolder(const std::string& folderKey);
    // A folder moved: the rows and claims of everything below it follow.
    void MoveFolder(const std::string& fromKey, const std::string& toKey);

private:
    std::optional<DirEntry> Entry(const std::string& hostName, const std::string& shortName,
                                  std::int64_t attributes) const;
    bool Taken(const std::string& dirKey, const std::string& upperCandidate);
    bool HasClaims();

    Database& db_;
    int hasClaims_ = -1; // whether table `folders` exists (a read-only older store lacks it)
};

// The upper-case key a name is stored under (UTF-8 of its Windows-1252 upper case).
std::string UpperKey(std::string_view ansiName);

} // namespace portable
