#include "platform/portable/store/machine_state.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/ini_file.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/store/sqlite_db.h"
#include "platform/text_lines.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace portable {
namespace fs = std::filesystem;

namespace {

constexpr DWORD kRecordedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// Windows 95 reads no more than 64 KiB of an INI file; anything far beyond is not one.
constexpr size_t kMaxIniBytes = 1 << 20;

// The machine's own files in its folder: the store, and the folders of the locks and of the
// changes processes have under way, which come and go with every run.
bool IsStoreFile(std::string_view hostName) {
    return hostName == Machine::kStoreName || hostName == "machine.db-wal" ||
           hostName == "machine.db-shm" || hostName == "machine.db-journal" ||
           hostName == "locks" || hostName == "sessions";
}

std::string UpperName(std::string_view ansi) {
    return win::FromAnsi(win::AnsiUpper(ansi));
}

bool IsIniName(std::string_view ansi) {
    return ansi.size() > 4 && win::EndsWithNoCase(ansi, ".INI");
}

// The attributes of the names table, by folder key and upper-case name: one read instead
// of one per folder, and none of the alias assignment a folder listing would do.
class StoredAttributes {
public:
    explicit StoredAttributes(Database& db) {
        auto& stmt = db.Prepare("SELECT dir, upper, attrs FROM names");
        while (stmt.Step())
            attributes_[Key(stmt.Text(0), stmt.Text(1))] = static_cast<DWORD>(stmt.Int(2));
    }
    // Entries the table does not know yet get no attribute: their row would say archive.
    DWORD Of(const std::string& dirKey, std::string_view longName) const {
        auto it = attributes_.find(Key(dirKey, UpperName(longName)));
        return it == attributes_.end() ? 0 : it->second & kRecordedAttributes;
    }

private:
    static std::string Key(std::string_view dir, std::string_view upper) {
        std::string key(dir);
        key += '\0';
        key += upper;
        return key;
    }
    std::unordered_map<std::string, DWORD> attributes_;
};

void AddIniLines(const std::string& path, std::string_view text, std::vector<IniLine>& out) {
    std::string section;
    std::uint32_t index = 0;
    for (auto& line : win::SplitLines(text)) {
        if (win::TrimBlanks(line).empty())
            continue;
        if (auto name = ini::SectionName(line)) {
            section = std::string(*name);
            continue;
        }
        out.push_back({path, section, std::move(line), index++});
    }
}

class FileWalker {
public:
    FileWalker(Machine& machine, MachineState& out)
        : attributes_(machine.store()), out_(out),
          windowsFolder_(
              win::AnsiUpper(win::ToAnsi(machine.Setting("windows_dir", "C:\\WINDOWS")))) {
        while (windowsFolder_.ends_with('\\'))
            windowsFolder_.pop_back();
    }

    void Drive(char letter, int fd, bool machineRoot) {
        std::string name{letter, ':'};
        Folder(fd, name, name, machineRoot);
    }

private:
    void Folder(int dirFd, const std::string& dirKey, const std::string& winPath,
                bool machineRoot) {
        bool windowsFolder = win::AnsiUpper(winPath) == windowsFolder_;
        // Every file of the drive, also under a name no Windows path reaches (one a process
        // left half done, or one put there from outside): nothing on a drive is hidden.
        for (const auto& e : ListHostFolder(dirFd, true)) {
            if (machineRoot && IsStoreFile(e.hostName))
                continue;
            std::string path = winPath + "\\" + e.longName;
            if (path.size() >= MAX_PATH)
                continue; // no Windows program can name it
            FileRecord record;
            record.path = path;
            record.attributes = attributes_.Of(dirKey, e.longName);
            if (!e.IsDirectory()) {
                if (Read(dirFd, e.hostName, record, windowsFolder && IsIniName(e.longName)))
                    out_.files.push_back(std::move(record));
                continue;
            }
            record.folder = true;
            UniqueFd child(::openat(dirFd, e.hostName.c_str(),
                                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!child.valid())
                continue; // replaced by something else since the listing
            out_.files.push_back(std::move(record));
            Folder(child.get(), dirKey + "/" + e.hostName, path, false);
        }
    }

    // Size and hash of a file; false when it is no longer there (or no longer a file).
    bool Read(int dirFd, const std::string& hostName, FileRecord& record, bool ini) {
        UniqueFd fd(::openat(dirFd, hostName.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd.valid() && (errno == ENOENT || errno == ELOOP))
            return false;
        if (!fd.valid())
            Fail(record.path);
        struct stat st;
        if (::fstat(fd.get(), &st) != 0)
            Fail(record.path);
        if (!S_ISREG(st.st_mode))
            return false;
        Sha256 hash;
        std::string text;
        bool keepText = ini;
        char buffer[1 << 16];
        while (true) {
            ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                Fail(record.path);
            if (n == 0)
                break;
            hash.Update(buffer, static_cast<size_t>(n));
            record.size += static_cast<std::uint64_t>(n);
            keepText = keepText && record.size <= kMaxIniBytes;
            if (keepText)
                text.append(buffer, static_cast<size_t>(n));
            // The size the file had when opened has been read: that is the file as of now
            // (and saves asking for the end on every file).
            if (record.size == static_cast<std::uint64_t>(st.st_size))
                break;
        }
        record.sha256 = hash.Finish();
        if (keepText)
            AddIniLines(record.path, text, out_.iniLines);
        return true;
    }

    [[noreturn]] static void Fail(const std::string& path) {
        throw StateError("cannot read " + win::FromAnsi(path) + ": " + std::strerror(errno));
    }

    StoredAttributes attributes_;
    MachineState& out_;
    std::string windowsFolder_; // upper case, without a trailing separator
};

// The machine's stored drives, each with its folder opened as the file system opens it (a
// drive whose folder is refused fails the capture); a run's own drive is not the machine's.
void CaptureFiles(Machine& machine, MachineState& out) {
    FileWalker walker(machine, out);
    for (const auto& drive : machine.Drives()) {
        if (!drive.HasMedium() || drive.runOnly)
            continue;
        UniqueFd fd = OpenDriveFolder(machine, drive);
        walker.Drive(drive.letter, fd.get(), drive.folder == ".");
    }
}

// Paths are built from the roots down, so a key unreachable from a root (which no API
// call could open) is left out, and a damaged parent chain cannot loop.
void CaptureRegistry(Machine& machine, MachineState& out) {
    RegistryDump dump = RegistryStore::Of(machine)->Dump();
    std::unordered_map<KeyId, std::vector<size_t>> children;
    std::unordered_map<KeyId, std::string> paths;
    std::vector<KeyId> pending;
    for (size_t i = 0; i < dump.keys.size(); ++i) {
        const auto& key = dump.keys[i];
        if (key.parent != 0) {
            children[key.parent].push_back(i);
        } else if (key.id == kLocalMachineKey || key.id == kCurrentUserKey) {
            paths[key.id] = key.name;
            pending.push_back(key.id);
        }
    }
    while (!pending.empty()) {
        KeyId id = pending.back();
        pending.pop_back();
        auto it = children.find(id);
        if (it == children.end())
            continue;
        const std::string parentPath = paths[id];
        for (size_t i : it->second) {
            const auto& key = dump.keys[i];
            std::string path = parentPath + "\\" + key.name;
            out.keys.push_back({path});
            paths[key.id] = std::move(path);
            pending.push_back(key.id);
        }
    }
    out.values.reserve(dump.values.size());
    for (auto& value : dump.values) {
        auto it = paths.find(value.key);
        if (it != paths.end())
            out.values.push_back(
                {it->second, std::move(value.name), value.type, std::move(value.data)});
    }
}

} // namespace

MachineState CaptureState(Machine& machine) {
    MachineState state;
    CaptureFiles(machine, state);
    CaptureRegistry(machine, state);
    return state;
}

} // namespace portable
