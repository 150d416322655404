// The file side of a portable machine: Windows paths resolved to host files inside the
// drives' folders, 8.3 aliases, attributes, and the folder and file operations kernel32
// and lz32 are built on. Paths are Windows-1252; results are Win32 error codes.
//
// Hard links: a file with more than one link is never written, emptied or made executable
// in place; its name first gets a file of its own (see Open). Renaming over such a file or
// deleting it only drops this machine's name, so those need nothing.
//
// Confinement: every lookup walks from the drive's folder one component at a time with
// directory descriptors opened O_NOFOLLOW, and only entries listed by the folder itself
// are candidates. '..' is resolved lexically before that and stops at the drive's root,
// symbolic links and special files are invisible, and host names that are not valid
// Windows names are invisible too, so no Windows path reaches anything outside the drive.
#pragma once

#include "platform/portable/files/win_path.h"
#include "platform/portable/machine.h"
#include "platform/win_types.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace portable {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

struct DirEntry {
    std::string hostName;  // UTF-8, as on the host
    std::string longName;  // Windows-1252
    std::string shortName; // Windows-1252, upper case
    DWORD attributes = 0;  // FILE_ATTRIBUTE_DIRECTORY included for folders
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; // since the Unix epoch
    bool IsDirectory() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
};

enum class OpenMode {
    Read,           // existing file
    Write,          // existing file, not read-only
    CreateTruncate, // created, or emptied when it exists and is not read-only
};

// What CreateFileA asks for: access and one of its five dispositions.
struct OpenRequest {
    bool read = true;
    bool write = false;
    enum class Disposition {
        CreateNew,        // fails when it exists
        CreateAlways,     // created or emptied
        OpenExisting,     // fails when missing
        OpenAlways,       // created when missing, contents kept
        TruncateExisting, // fails when missing, emptied
    } disposition = Disposition::OpenExisting;
    // A file made (or emptied) to be renamed into place or deleted soon: the machine removes
    // it when the process dies first (see session.h).
    bool temporary = false;
};

struct FileChange;
struct FolderListing;
class FolderCache;
class StoredNames;
struct FolderStamp;

class FileSystem {
public:
    explicit FileSystem(Machine& machine);
    ~FileSystem();
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    // The process's current folder, a full path such as "C:\".
    const std::string& CurrentDirectory() const { return currentDir_; }
    DWORD SetCurrentDirectory(std::string_view path);
    DWORD Parse(std::string_view path, WinPath& out, bool wildcardLeaf = false) const;

    UINT DriveType(std::string_view root);

    DWORD CreateDirectory(std::string_view path);
    DWORD RemoveDirectory(std::string_view path);
    DWORD DeleteFile(std::string_view path);
    // Deletes like DeleteFile, with record's store writes in the same transaction (as
    // MoveAndRecord does for a rename). Must not run inside a caller's transaction.
    DWORD DeleteAndRecord(std::string_view path, const std::function<void()>& record);
    DWORD GetAttributes(std::string_view path, DWORD& attributes);
    DWORD SetAttributes(std::string_view path, DWORD attributes);
    // The 8.3 form of an existing path, keeping the path's own shape (drive, relative
    // parts, '.' and '..', trailing separator); each name becomes its alias.
    DWORD ShortPath(std::string_view path, std::string& out);
    DWORD Open(std::string_view path, OpenMode mode, UniqueFd& fd);
    DWORD Open(std::string_view path, const OpenRequest& request, UniqueFd& fd);
    // A program file to run from the descriptor (fexecve): opened once, read-only, without
    // following links, made executable for the user when it is not (after getting a file of
    // its own when it had other links). Refuses anything but a plain file.
    DWORD OpenProgram(std::string_view path, UniqueFd& fd);
    // Renames a file or folder (within one drive). With replace, an existing file target
    // is replaced in one step, so readers see the old or the new file, never neither.
    DWORD Move(std::string_view from, std::string_view to, bool replace);
    // Renames like Move (replacing only when asked), with record's store writes in the same
    // transaction; record also writes the journal line instead of Move. When record throws
    // or the commit fails, the rename is undone and the exception passes on, so the drive
    // and the store never disagree. Must not run inside a caller's transaction.
    DWORD MoveAndRecord(std::string_view from, std::string_view to,
                        const std::function<void()>& record, bool replace = false);
    // Deletes a file, or a folder with everything in it, read-only entries included (the
    // caller has decided). A failure part-way leaves what was not deleted yet.
    DWORD DeleteTree(std::string_view path);
    // Puts a file kept by the machine's run log (run_log.h) back at path, replacing a file
    // that is there whatever its attributes; an undo's step.
    DWORD PutBack(std::string_view path, const std::string& kept);
    // Bytes of a file, or of every file in a folder and its subfolders.
    DWORD TreeSize(std::string_view path, std::uint64_t& bytes);
    // The long form of an existing path: full, each name as its folder lists it.
    DWORD LongPath(std::string_view path, std::string& out);
    // Entries of a folder matching the last component of pattern (* and ? allowed,
    // matched against long and short names); "." and ".." come first outside a root.
    DWORD Find(std::string_view pattern, std::vector<DirEntry>& out);
    // The entry an existing path names.
    DWORD Stat(std::string_view path, DirEntry& out);
    // The host path of an existing entry (for tools and tests; never for the program).
    DWORD HostPath(std::string_view path, std::filesystem::path& out);

    Machine& machine() { return machine_; }

private:
    struct Located;
    struct Target;
    enum class Need { Read, Write };
    // How a call reaches the entry its path names.
    struct Reach {
        Need need = Need::Read;
        bool mustExist = true;            // a missing entry is ERROR_FILE_NOT_FOUND
        DWORD refuseRoot = ERROR_SUCCESS; // else a drive's root is refused with this code
        bool inTransaction = false;       // the store's transaction begins before the walk
        bool wildcardLeaf = false;        // the last name may hold * and ?
    };

    // Walks from the drive's folder to the folder that holds the path's last name, one
    // folder at a time (openat, O_NOFOLLOW), and looks that name up there.
    DWORD Locate(const WinPath& path, Need need, Located& out);
    // The opening every call on one path shares: the path parsed, a drive's root refused
    // when asked, the store's transaction begun when asked (so that names brought in line
    // on the way are part of it), the path located, and a missing entry refused when it
    // must exist.
    DWORD Resolve(std::string_view path, const Reach& reach, Target& out);
    // Resolve for a change of one entry: located for writing, a drive's root refused
    // (ERROR_ACCESS_DENIED), in the store's transaction.
    DWORD BeginChange(std::string_view path, bool mustExist, Target& out);
    // The entry's long Windows path, as a run's record names it.
    static std::string LongPathOf(const Located& at);
    // Records a change in this process's run before it happens, keeping keep's contents
    // first when given.
    void RecordChange(FileChange& change, const Located* keep = nullptr);
    DWORD MoveEntry(std::string_view from, std::string_view to, bool replace,
                    const std::function<void()>* record);
    DWORD DeleteEntry(std::string_view path, const std::function<void()>* record);
    DWORD DeleteTreeEntry(const std::string& path);
    void MoveNames(const Located& src, const Located& dst, const std::string& newHost);
    DWORD OpenDrive(char letter, Need need, Drive& drive, UniqueFd& fd);
    // The folder's names: its listing, kept from an earlier call while it is still true (see
    // folder_listing.h); null when the store's names of the folder are current (see
    // stored_names.h) and the store answers; else listed afresh with its names brought in
    // line. A folder of a drive whose names are not stored (stored false: a run's own drive)
    // gets its aliases in memory.
    std::shared_ptr<const FolderListing> Entries(int dirFd, const std::string& dirKey, bool stored);
    // The store answers for the folder (its names are current): null, or the folder's
    // names read from the store once the process has asked often enough.
    std::shared_ptr<const FolderListing> FromStore(const std::string& dirKey,
                                                   const struct stat& st);
    void Keep(const std::string& dirKey, const struct stat& st,
              std::shared_ptr<const FolderListing> listing);
    void CheckKeptListings();
    // Before rows of dirKey's entries (with below: of anything) are written.
    void NamesWritten(const std::string& dirKey, bool below = false);
    // Brings the stored names in line with a listing; claim: the folder's times to record
    // with them (a listing taken once they had settled).
    void SyncNames(const std::string& dirKey, std::vector<DirEntry>& entries,
                   const struct stat* claim, bool locked);
    void ClaimListed(const std::string& dirKey, const struct stat& st);
    // The alias for a new name (or a moved entry) in the folder of at.
    std::string NewAlias(const Located& at, std::string_view longName,
                         std::string_view except = {});
    // Every entry of the folder of at.
    std::vector<DirEntry> AllEntries(const Located& at);
    // The machine changed the folder of at since before: its claim follows.
    void FollowChange(const Located& at, const std::optional<FolderStamp>& before);
    void RecordNew(const std::string& dirKey, const std::string& hostName,
                   const std::string& shortName, DWORD attributes);
    void ForgetName(const std::string& dirKey, const std::string& hostName, bool directory);

    Machine& machine_;
    std::string currentDir_ = "C:\\";
    std::unique_ptr<FolderCache> cache_;
    std::unique_ptr<StoredNames> names_;
    std::uint64_t dataVersion_ = ~std::uint64_t{0};
    std::uint64_t namesSeen_ = 0;
    // Folders whose rows this process wrote in the open transaction ("" for all).
    std::unordered_set<std::string> uncommitted_;
    std::unordered_map<std::string, unsigned> storeQueries_; // per folder whose names are current
};

// The entries Windows sees in the host folder dirFd, sorted by host name: regular files and
// folders whose host names Windows can spell (no symbolic links, devices, unspellable
// names), of names equal but for case only the first. Aliases and stored attributes are
// not filled in (files carry FILE_ATTRIBUTE_ARCHIVE, folders FILE_ATTRIBUTE_DIRECTORY), nor
// sizes and times (0: read them where an entry is used). With everything, files and folders
// whose names Windows cannot spell are listed too (their long name is the host name's
// bytes), and so is every name equal but for case: what a snapshot must see.
// Reads only the host folder.
std::vector<DirEntry> ListHostFolder(int dirFd, bool everything = false);

// The visible Windows name (Windows-1252) of a host entry, or nothing when Windows could
// not name it.
std::optional<std::string> WindowsName(const std::string& hostName);

// The host folder of a drive, opened. A stored drive's folder is walked from the machine
// folder one name at a time without following links; one that is a link, not a folder,
// missing, or stored outside the machine throws MachineError naming the drive. A run's own
// drive is opened where the person named it (invalid when it cannot be).
UniqueFd OpenDriveFolder(Machine& machine, const Drive& drive);

// The file system of the current machine.
FileSystem& CurrentFileSystem();

} // namespace portable
