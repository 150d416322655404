#include "platform/portable/machine.h"

#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/recycle_bin.h"
#include "platform/portable/files/session.h"
#include "platform/portable/files/stored_names.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/runs/run_log.h"
#include "platform/portable/store/baseline.h"
#include "platform/portable/store/sqlite_db.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace portable {
namespace fs = std::filesystem;

std::string TimeStamp() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(ms.count()));
    return text;
}

namespace {

constexpr int kSchemaVersion = 1;

// Cached: the journal asks on every entry, and a registry write is one entry.
std::int64_t ProcessId() {
    static const std::int64_t pid = ::getpid();
    return pid;
}

// The store and its log and index are the machine's own files: a link would have SQLite
// read and write whatever it points at.
void RefuseLinkedStore(const fs::path& root) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        fs::path file = root / (std::string(Machine::kStoreName) + suffix);
        std::error_code ec;
        auto status = fs::symlink_status(file, ec);
        if (ec || status.type() == fs::file_type::not_found ||
            status.type() == fs::file_type::regular)
            continue;
        throw MachineError(
            file.string() + " is not a plain file (" +
            (status.type() == fs::file_type::symlink ? "a symbolic link" : "something else") +
            "); the machine is refused");
    }
}

struct Current {
    std::mutex lock;
    std::unique_ptr<Machine> machine;
    std::optional<fs::path> chosen; // on a tool's command line
};

Current& TheCurrent() {
    static Current current;
    return current;
}

// Refuses, before SQLite sees it, a store file that cannot be a machine's: SQLite would take
// an empty file for a new database and write to it.
void CheckStoreFile(const fs::path& dir, const fs::path& file) {
    static constexpr char kMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                        'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw MachineError("cannot read " + file.string() + ": " + std::strerror(errno));
    char head[sizeof kMagic] = {};
    ssize_t got = ::read(fd, head, sizeof head);
    ::close(fd);
    if (got == 0)
        throw MachineError(dir.string() + ": the machine is damaged (" + file.string() +
                           " is empty); nothing was changed");
    if (got != static_cast<ssize_t>(sizeof head) || std::memcmp(head, kMagic, sizeof head) != 0)
        throw MachineError(dir.string() + ": the machine is damaged (" + file.string() +
                           " is not a machine's store); nothing was changed");
}

bool Writable(const fs::path& p) {
    return ::access(p.c_str(), W_OK) == 0;
}

// Once per run that ended without finishing: the person learns how to take it back.
// The program's name comes from the store: no byte of it may steer the terminal.
void NameUnfinishedRuns(Machine& machine) {
    for (const RunInfo& run : machine.Runs().TakeUnfinished()) {
        std::string program = run.program.substr(0, 200);
        for (char& c : program) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                c = '?';
        }
        std::fprintf(stderr, "run %lld (%s) did not finish; `zepmachine undo %lld` takes it back\n",
                     static_cast<long long>(run.id), program.c_str(),
                     static_cast<long long>(run.id));
    }
}

} // namespace

Machine::Machine(fs::path root, std::unique_ptr<Database> db)
    : root_(std::move(root)), db_(std::move(db)) {}

Machine::~Machine() = default;

bool Machine::Exists(const fs::path& dir) {
    std::error_code ec;
    return fs::is_regular_file(dir / kStoreName, ec);
}

bool Machine::ReadOnly() const {
    return db_->ReadOnly();
}

std::shared_ptr<RegistryStore> Machine::Registry() {
    if (!registry_)
        registry_ = std::make_shared<RegistryStore>(*this);
    return registry_;
}

FileSystem& Machine::Files() {
    if (!files_)
        files_ = std::make_unique<FileSystem>(*this);
    return *files_;
}

RunLog& Machine::Runs() {
    if (!runs_)
        runs_ = std::make_unique<RunLog>(*this);
    return *runs_;
}

ChangeRecord& Machine::Changes() {
    return Runs();
}

Session& Machine::session() {
    if (!session_)
        session_ = std::make_unique<Session>(*this);
    return *session_;
}

void Machine::CreateSchema() {
    db_->Exec(R"sql(
        CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
        CREATE TABLE IF NOT EXISTS drives(
            letter TEXT PRIMARY KEY, type INTEGER NOT NULL, host TEXT NOT NULL);
        CREATE TABLE IF NOT EXISTS names(
            dir TEXT NOT NULL, name TEXT NOT NULL, upper TEXT NOT NULL,
            short TEXT NOT NULL, attrs INTEGER NOT NULL,
            PRIMARY KEY(dir, upper));
        CREATE TABLE IF NOT EXISTS journal(
            id INTEGER PRIMARY KEY, time TEXT NOT NULL, pid INTEGER NOT NULL,
            entry TEXT NOT NULL);
    )sql");
    StoredNames::CreateSchema(*db_);
    RegistryStore::CreateSchema(*db_);
    RecycleBin::CreateSchema(*db_);
    RunLog::CreateSchema(*db_);
}

std::unique_ptr<Machine> Machine::Create(const fs::path& dir) {
    std::error_code ec;
    if (Exists(dir))
        throw MachineError(dir.string() + " already holds a machine");
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec))
        throw MachineError(dir.string() +
                           " is not empty and holds no machine: a machine is made in a new "
                           "or empty folder");
    fs::create_directories(dir, ec);
    if (ec)
        throw MachineError("cannot create " + dir.string() + ": " + ec.message());
    fs::path root = fs::canonical(dir);
    fs::create_directories(root / "drive_c", ec);
    if (ec)
        throw MachineError("cannot create " + (root / "drive_c").string() + ": " + ec.message());

    auto db = std::make_unique<Database>(root / kStoreName, Database::Access::Create);
    std::unique_ptr<Machine> machine(new Machine(root, std::move(db)));
    Transaction txn(machine->store());
    machine->CreateSchema();
    machine->Runs().Hold(true); // making a machine is no run: every run starts from it
    machine->SetSetting("schema_version", std::to_string(kSchemaVersion));
    machine->MapDrive('A', DRIVE_REMOVABLE, {});
    machine->MapDrive('C', DRIVE_FIXED, "drive_c");
    WriteBaseline(*machine);
    machine->Journal("init " + root.string());
    txn.Commit();
    machine->Runs().Hold(false);
    return machine;
}

std::unique_ptr<Machine> Machine::Open(const fs::path& dir) {
    if (!Exists(dir))
        throw MachineError(dir.string() + " is not a machine (make one with: zepmachine init " +
                           dir.string() + ")");
    fs::path root = fs::canonical(dir);
    RefuseLinkedStore(root);
    fs::path file = root / kStoreName;
    CheckStoreFile(dir, file);
    auto access =
        Writable(root) && Writable(file) ? Database::Access::ReadWrite : Database::Access::ReadOnly;
    auto db = std::make_unique<Database>(file, access);
    std::unique_ptr<Machine> machine(new Machine(root, std::move(db)));
    auto& settings = machine->store().Prepare(
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'settings'");
    bool sound = settings.Step();
    settings.Reset();
    if (!sound)
        throw MachineError(dir.string() + ": the machine is damaged (" + file.string() +
                           " has no settings); nothing was changed");
    std::string version = machine->Setting("schema_version");
    if (version != std::to_string(kSchemaVersion))
        throw MachineError(dir.string() + ": unsupported machine version '" + version + "'");
    // Tables of services added since the machine was made.
    if (!machine->ReadOnly()) {
        StoredNames::CreateSchema(machine->store());
        RecycleBin::CreateSchema(machine->store());
        RunLog::CreateSchema(machine->store());
        RecoverInterruptedChanges(*machine);
        NameUnfinishedRuns(*machine);
    }
    return machine;
}

namespace {

// A stored drive folder as the machine folder's own: relative, without ".." or a root.
// Absolute paths inside the machine folder (older machines) are taken relative.
std::optional<fs::path> StoredFolder(const fs::path& root, const std::string& stored) {
    fs::path p(stored);
    if (p.is_absolute()) {
        p = p.lexically_normal().lexically_relative(root);
        if (p.empty())
            return std::nullopt;
    }
    p = p.lexically_normal();
    for (const auto& part : p) {
        if (part == ".." || part.has_root_name() || part.has_root_directory())
            return std::nullopt;
    }
    return p;
}

} // namespace

std::vector<Drive> Machine::Drives() {
    std::vector<Drive> drives;
    auto& stmt = db_->Prepare("SELECT letter, type, host FROM drives ORDER BY letter");
    while (stmt.Step()) {
        Drive d;
        d.letter = stmt.Text(0).at(0);
        d.type = static_cast<UINT>(stmt.Int(1));
        std::string host = stmt.Text(2);
        bool hidden = std::any_of(runDrives_.begin(), runDrives_.end(),
                                  [&](const Drive& r) { return r.letter == d.letter; });
        if (hidden)
            continue;
        if (!host.empty()) {
            auto folder = StoredFolder(root_, host);
            d.host = !folder ? fs::path(host) : *folder == "." ? root_ : root_ / *folder;
            if (folder)
                d.folder = *folder;
            else
                d.problem = "its folder is stored as " + host +
                            ", which is not a folder inside the machine folder";
        }
        drives.push_back(d);
    }
    drives.insert(drives.end(), runDrives_.begin(), runDrives_.end());
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    return drives;
}

std::optional<Drive> Machine::FindDrive(char letter) {
    for (const auto& d : Drives()) {
        if (d.letter == letter)
            return d;
    }
    return std::nullopt;
}

void Machine::MapDrive(char letter, UINT type, const fs::path& host) {
    std::string stored;
    if (!host.empty()) {
        auto folder = StoredFolder(root_, host.string());
        if (!folder)
            throw MachineError("drive " + std::string(1, letter) + ": " + host.string() +
                               " is not a folder inside the machine folder " + root_.string());
        stored = folder->string();
    }
    db_->Prepare("INSERT OR REPLACE INTO drives(letter, type, host) VALUES(?1, ?2, ?3)")
        .Bind(1, std::string(1, letter))
        .Bind(2, static_cast<std::int64_t>(type))
        .Bind(3, stored)
        .Run();
    Journal("drive " + std::string(1, letter) + ": " + (stored.empty() ? "(no medium)" : stored));
}

void Machine::MapRunOnlyDrive(char letter, const fs::path& host) {
    std::erase_if(runDrives_, [&](const Drive& d) { return d.letter == letter; });
    Drive d;
    d.letter = letter;
    d.type = DRIVE_CDROM;
    d.host = fs::absolute(host).lexically_normal();
    d.runOnly = true;
    runDrives_.push_back(d);
}

std::string Machine::Setting(std::string_view key, std::string_view fallback) {
    if (auto run = runSettings_.find(key); run != runSettings_.end())
        return run->second;
    auto& stmt = db_->Prepare("SELECT value FROM settings WHERE key = ?1");
    stmt.Bind(1, key);
    if (!stmt.Step())
        return std::string(fallback);
    std::string value = stmt.Text(0);
    stmt.Reset();
    return value;
}

void Machine::SetSetting(std::string_view key, std::string_view value) {
    db_->Prepare("INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)")
        .Bind(1, key)
        .Bind(2, value)
        .Run();
}

void Machine::SetRunSetting(std::string_view key, std::string_view value) {
    runSettings_.insert_or_assign(std::string(key), std::string(value));
}

void Machine::ForgetRunSetting(std::string_view key) {
    if (auto it = runSettings_.find(key); it != runSettings_.end())
        runSettings_.erase(it);
}

void Machine::Journal(std::string_view entry) {
    db_->Prepare("INSERT INTO journal(time, pid, entry) VALUES(?1, ?2, ?3)")
        .Bind(1, TimeStamp())
        .Bind(2, ProcessId())
        .Bind(3, entry)
        .Run();
}

std::vector<Machine::JournalEntry> Machine::ReadJournal(std::int64_t afterId) {
    std::vector<JournalEntry> out;
    auto& stmt = db_->Prepare("SELECT id, time, pid, entry FROM journal WHERE id > ?1 ORDER BY id");
    stmt.Bind(1, afterId);
    while (stmt.Step())
        out.push_back({stmt.Int(0), stmt.Text(1), stmt.Int(2), stmt.Text(3)});
    return out;
}

std::optional<fs::path> MachineContaining(const fs::path& p) {
    std::error_code ec;
    fs::path at = fs::weakly_canonical(p, ec);
    if (ec)
        return std::nullopt;
    for (; !at.empty(); at = at.parent_path()) {
        if (Machine::Exists(at))
            return at;
        if (at == at.root_path())
            break;
    }
    return std::nullopt;
}

MachineChoice SelectMachineFolder() {
    Current& current = TheCurrent();
    if (current.chosen)
        return {*current.chosen};
    if (const char* env = std::getenv("ZEPSETUP_MACHINE"); env && *env)
        return {env};
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        if (auto holder = MachineContaining(exe.parent_path()))
            return {*holder};
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return {fs::path(xdg) / "zepsetup" / "machine", true};
    const char* home = std::getenv("HOME");
    return {fs::path(home && *home ? home : "/root") / ".local/share/zepsetup/machine", true};
}

void ChooseMachineFolder(const fs::path& dir) {
    Current& current = TheCurrent();
    std::lock_guard guard(current.lock);
    current.chosen = dir;
}

Machine& CurrentMachine() {
    Current& current = TheCurrent();
    std::lock_guard guard(current.lock);
    if (!current.machine) {
        MachineChoice choice = SelectMachineFolder();
        bool make = choice.isDefault && !Machine::Exists(choice.folder);
        current.machine = make ? Machine::Create(choice.folder) : Machine::Open(choice.folder);
    }
    return *current.machine;
}

FileSystem& CurrentFileSystem() {
    return CurrentMachine().Files();
}

void LetGoOfStore() {
    Current& current = TheCurrent();
    std::lock_guard guard(current.lock);
    if (current.machine)
        current.machine->store().LetGo();
}

void UseMachine(std::unique_ptr<Machine> machine) {
    Current& current = TheCurrent();
    std::lock_guard guard(current.lock);
    current.machine = std::move(machine);
    ForgetMachineFailure();
}

} // namespace portable
