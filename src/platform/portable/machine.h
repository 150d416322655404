// A portable machine: a host folder that plays one Windows 95 computer. It owns the
// machine's store (machine.db: drives, settings, file names and attributes, journal and
// whatever later services keep there), the host folders of its drives, and the services
// kept over the store: its registry and its file system.
#pragma once

#include "platform/win_types.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

class Database;
class FileSystem;
class ChangeRecord;
class RegistryStore;
class RunLog;
class Session;

class MachineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A drive's folder is either stored with the machine, and then a plain folder inside the
// machine folder (kept relative to it, opened without following links), or named by the
// person for one run only (the distribution played as CD-ROM): never stored, read-only.
struct Drive {
    char letter = 0;               // upper case
    UINT type = DRIVE_NO_ROOT_DIR; // DRIVE_FIXED, DRIVE_CDROM, DRIVE_REMOVABLE
    std::filesystem::path host;    // absolute host folder; empty without a medium
    std::filesystem::path folder;  // a stored drive's folder relative to the machine folder
    bool runOnly = false;          // named for this run, outside the machine
    std::string problem;           // why a stored folder is refused; empty when sound
    bool HasMedium() const { return !host.empty(); }
    bool ReadOnly() const { return type == DRIVE_CDROM || runOnly; }
};

class Machine {
public:
    static constexpr std::string_view kStoreName = "machine.db";

    // Makes a fresh machine in dir (created if missing; an existing folder must be empty):
    // drive C: with the German Windows 95 folder layout and A: without a medium.
    static std::unique_ptr<Machine> Create(const std::filesystem::path& dir);
    // Opens an existing machine; throws MachineError when dir holds none or a damaged one
    // (then nothing is changed). A machine whose folder or store this process cannot write
    // is opened read-only: it can be read, and every change fails saying so. What processes
    // that ended left half done on a writable machine is finished first (session.h).
    static std::unique_ptr<Machine> Open(const std::filesystem::path& dir);
    // Whether dir holds a machine's store (sound or not).
    static bool Exists(const std::filesystem::path& dir);

    ~Machine();

    const std::filesystem::path& root() const { return root_; }
    Database& store() { return *db_; }
    bool ReadOnly() const;
    // The machine's registry and file system, made on first use; they live as long as the
    // machine (a handle holding a weak reference to the registry sees when it is gone).
    std::shared_ptr<RegistryStore> Registry();
    FileSystem& Files();
    // What this process has under way on the machine (session.h), made on first use.
    Session& session();
    // The machine's runs and what their changes replaced (runs/run_log.h), made on first use.
    RunLog& Runs();
    // The same, as the file system sees it: where changes are recorded before they happen.
    ChangeRecord& Changes();

    // The stored drives and this run's own, by letter; a run's drive hides a stored one.
    std::vector<Drive> Drives();
    std::optional<Drive> FindDrive(char letter);
    // Stores a drive letter's folder (an empty host: no medium). Relative host paths are
    // taken relative to the machine folder; a folder outside it throws MachineError.
    void MapDrive(char letter, UINT type, const std::filesystem::path& host);
    // Plays host folder (anywhere) as read-only CD-ROM drive letter for as long as this
    // object lives; nothing is stored, so no other process sees it.
    void MapRunOnlyDrive(char letter, const std::filesystem::path& host);

    // A run's own setting comes before the stored one.
    std::string Setting(std::string_view key, std::string_view fallback = {});
    void SetSetting(std::string_view key, std::string_view value);
    // Answers key with value for as long as this object lives, ahead of the stored
    // setting; nothing is stored, so no other process sees it (the screen of a run that
    // shows its windows on a display).
    void SetRunSetting(std::string_view key, std::string_view value);
    void ForgetRunSetting(std::string_view key);

    // Appends one line to the machine's journal.
    void Journal(std::string_view entry);
    struct JournalEntry {
        std::int64_t id;
        std::string time;
        std::int64_t pid;
        std::string text;
    };
    std::vector<JournalEntry> ReadJournal(std::int64_t afterId = 0);

private:
    Machine(std::filesystem::path root, std::unique_ptr<Database> db);
    void CreateSchema();

    std::filesystem::path root_;
    std::unique_ptr<Database> db_;
    std::vector<Drive> runDrives_;
    std::map<std::string, std::string, std::less<>> runSettings_;
    // Declared after the store: they go before it. The run ends after everything else.
    std::unique_ptr<RunLog> runs_;
    std::shared_ptr<RegistryStore> registry_;
    std::unique_ptr<FileSystem> files_;
    std::unique_ptr<Session> session_; // goes first: it may still write the journal
};

// The time now as the store keeps it: UTC, "2024-05-01T12:34:56.789Z".
std::string TimeStamp();

// Why no change can be made on the machine, in words for a person: "the machine is
// read-only (...)", or "drive C: is refused: <the reason>" for the drive that holds
// Windows; empty when changes can be made (machine_access.cpp).
std::string WhyUnchangeable(Machine& machine);

// The machine this process runs on, opened on first use from SelectMachineFolder(). Only
// the default machine is made when it does not exist yet; any other folder that holds no
// machine is refused with a MachineError.
Machine& CurrentMachine();
// The machine folder a tool was given on its command line; it comes before every other
// choice. Takes effect when no machine is open yet.
void ChooseMachineFolder(const std::filesystem::path& dir);
// Replaces the current machine (tools and tests); resets the process's file state.
void UseMachine(std::unique_ptr<Machine> machine);
// Before the process waits: ends the current machine's kept read transaction, if a machine
// is open (see Database::LetGo).
void LetGoOfStore();
// Where CurrentMachine() would look, without opening anything, in this order: the folder
// given with ChooseMachineFolder(); $ZEPSETUP_MACHINE; the machine whose folder holds the
// running executable (an installed copy); the default, $XDG_DATA_HOME/zepsetup/machine
// (~/.local/share/zepsetup/machine).
struct MachineChoice {
    std::filesystem::path folder;
    bool isDefault = false;
};
MachineChoice SelectMachineFolder();
// The machine folder that contains host path p, if any.
std::optional<std::filesystem::path> MachineContaining(const std::filesystem::path& p);

} // namespace portable
