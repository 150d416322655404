#include "platform/portable/runs/run_log.h"

#include "platform/portable/runs/run_file.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/files/host_tree.h"
#include "platform/portable/files/stored_names.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace portable {
namespace {

constexpr std::int64_t kDefaultKeptRuns = 20;
constexpr std::int64_t kDefaultKeptBytes = std::int64_t{512} << 20;

// A registry key's subtree, and the key alone.
constexpr std::string_view kKeyTree =
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
    "SELECT k.id FROM reg_keys k JOIN tree ON k.parent = tree.id) ";
constexpr std::string_view kOneKey = "WITH tree(id) AS (SELECT ?1) ";

// A folder of the machine folder, opened without following links; made when asked.
UniqueFd OpenFolderAt(int at, const char* name, bool create) {
    UniqueFd fd(::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.valid() || !create || errno != ENOENT)
        return fd;
    if (::mkdirat(at, name, 0755) != 0 && errno != EEXIST)
        return UniqueFd();
    return UniqueFd(::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

UniqueFd OpenRunsFolder(Machine& machine, bool create) {
    UniqueFd root(::open(machine.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid())
        return root;
    return OpenFolderAt(root.get(), "runs", create);
}

std::string LockName(std::int64_t run) {
    return std::to_string(run) + ".lock";
}

bool ParseId(std::string_view text, std::int64_t& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out > 0;
}

// A setting's count: decimal, 0 or more.
bool ParseCount(std::string_view text, std::int64_t& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= 0;
}

// The run a kept file belongs to: kept names are "RUN-PID-N".
std::int64_t KeptRun(std::string_view name) {
    std::int64_t run = 0;
    return ParseId(name.substr(0, name.find('-')), run) ? run : 0;
}

// This process's command line, for a run it begins without being told what it is.
std::string OwnCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string text, part;
    while (std::getline(in, part, '\0') && text.size() < 4096)
        text += (text.empty() ? "" : " ") + part;
    return text;
}

// The program of a command line: its first word without the host folder.
std::string ProgramName(const std::string& command) {
    std::string first = command.substr(0, command.find(' '));
    return first.substr(first.find_last_of('/') + 1);
}

RunInfo ReadRun(Statement& stmt) {
    RunInfo info;
    info.id = stmt.Int(0);
    info.program = stmt.Text(1);
    info.command = stmt.Text(2);
    info.started = stmt.Text(3);
    info.ended = stmt.IsNull(4) ? std::string() : stmt.Text(4);
    info.outcome = stmt.IsNull(5) ? std::string() : stmt.Text(5);
    info.undoes = stmt.IsNull(6) ? 0 : stmt.Int(6);
    info.undoneBy = stmt.IsNull(7) ? 0 : stmt.Int(7);
    info.forgotten = stmt.Int(8) != 0;
    info.changes = stmt.Int(9) + stmt.Int(10);
    info.keptBytes = stmt.Int(11) + stmt.Int(12);
    return info;
}

constexpr std::string_view kRunColumns =
    "SELECT id, program, command, started, ended, outcome, undoes, undone_by, forgotten, "
    "(SELECT count(*) FROM run_rows WHERE run = runs.id), "
    "(SELECT count(*) FROM run_files WHERE run = runs.id), "
    "(SELECT coalesce(sum(length(data)), 0) FROM run_rows WHERE run = runs.id), "
    "(SELECT coalesce(sum(bytes), 0) FROM run_files WHERE run = runs.id) FROM runs ";

} // namespace

void RunLog::CreateSchema(Database& db) {
    // Asked at every opening: the statements below would be parsed in full each time.
    auto& exists = db.Prepare("SELECT 1 FROM sqlite_master WHERE name = 'run_files'");
    bool made = exists.Step();
    exists.Reset();
    if (made)
        return;
    db.Exec(R"sql(
        CREATE TABLE IF NOT EXISTS runs(
            id INTEGER PRIMARY KEY AUTOINCREMENT, program TEXT NOT NULL, command TEXT NOT NULL,
            started TEXT NOT NULL, ended TEXT, outcome TEXT, undoes INTEGER,
            undone_by INTEGER, forgotten INTEGER NOT NULL DEFAULT 0,
            noticed INTEGER NOT NULL DEFAULT 0);
        CREATE TABLE IF NOT EXISTS run_rows(
            run INTEGER NOT NULL, seq INTEGER NOT NULL, tbl TEXT NOT NULL, op TEXT NOT NULL,
            id INTEGER, parent INTEGER, name TEXT, upper TEXT, type INTEGER, data BLOB,
            drive TEXT, PRIMARY KEY(run, seq)) WITHOUT ROWID;
        CREATE TABLE IF NOT EXISTS run_files(
            run INTEGER NOT NULL, seq INTEGER NOT NULL, op INTEGER NOT NULL,
            path TEXT NOT NULL, other TEXT NOT NULL, attrs INTEGER NOT NULL,
            kept TEXT NOT NULL, bytes INTEGER NOT NULL, PRIMARY KEY(run, seq)) WITHOUT ROWID;
    )sql");
}

// A process's tokens begin with a random number: no two processes of a run, even with the
// same process id, tell records of the same token.
RunLog::RunLog(Machine& machine) : machine_(machine) {
    std::random_device random;
    process_ = std::to_string((std::uint64_t{random()} << 32) | random());
    machine_.store().OnWriteEnd([this](bool committed) { WriteEnded(committed); });
}

RunLog::~RunLog() {
    if (owner_ && run_) {
        try {
            End(MachineFailure().empty() ? kRunFinished : kRunMachineFailure);
        } catch (...) {
            // The run stays without an end: the next opener names it as unfinished.
        }
    }
    machine_.store().OnWriteEnd(nullptr);
}

void RunLog::Describe(std::string program, std::string command) {
    program_ = std::move(program);
    command_ = std::move(command);
}

bool RunLog::Running(std::int64_t id) {
    return Open(id) && Alive(id);
}

bool RunLog::Open(std::int64_t id) {
    auto& stmt = machine_.store().Prepare(
        "SELECT 1 FROM runs WHERE id = ?1 AND ended IS NULL AND outcome IS NULL");
    stmt.Bind(1, id);
    bool open = stmt.Step();
    stmt.Reset();
    return open;
}

bool RunLog::Alive(std::int64_t id) {
    UniqueFd folder = OpenRunsFolder(machine_, false);
    if (!folder.valid())
        return false;
    UniqueFd fd(::openat(folder.get(), LockName(id).c_str(),
                         O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return false;
    return ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

std::int64_t RunLog::Join() {
    if (held_ || (run_ && (owner_ || Open(run_))))
        return run_;
    if (run_) {
        // The run this process joined has ended (it outlived the process that began it):
        // its later changes are a run of their own.
        run_ = 0;
        lock_ = UniqueFd();
        made_.clear();
        valuesKept_.clear();
        pending_.clear();
    }
    Database& db = machine_.store();
    Transaction txn(db);
    std::int64_t joined = 0;
    const char* env = std::getenv("ZEPSETUP_RUN");
    if (!env || !ParseId(env, joined) || !Running(joined))
        joined = 0;
    std::int64_t id = joined;
    if (!id) {
        std::string command = command_.empty() ? OwnCommandLine() : command_;
        std::string program = program_.empty() ? ProgramName(command) : program_;
        db.Prepare("INSERT INTO runs(program, command, started) VALUES(?1, ?2, ?3)")
            .Bind(1, program)
            .Bind(2, command)
            .Bind(3, TimeStamp())
            .Run();
        id = db.LastInsertId();
    }
    UniqueFd folder = OpenRunsFolder(machine_, true);
    UniqueFd lock(folder.valid()
                      ? ::openat(folder.get(), LockName(id).c_str(),
                                 O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                                 0644)
                      : -1);
    if (!lock.valid() || ::flock(lock.get(), LOCK_SH | LOCK_NB) != 0)
        throw MachineError(machine_.root().string() +
                           ": cannot keep a record of this run: " + std::strerror(errno));
    run_ = id;
    owner_ = !joined;
    lock_ = std::move(lock);
    recording_ = KeptRunsLimit() > 0;
    // The programs this process starts (a registry editor) join its run.
    ::setenv("ZEPSETUP_RUN", std::to_string(id).c_str(), 1);
    txn.Commit();
    // Inside a caller's transaction: a run this process began must outlive whatever that
    // transaction does (one it joined is there already).
    // Old runs are dropped outside any (their kept files go once the rows have).
    bool inCaller = db.InWriteTransaction();
    if (inCaller && owner_) {
        db.CommitWrite();
        db.BeginWrite();
    }
    pruneDue_ = owner_ && inCaller;
    if (owner_ && !inCaller)
        Prune();
    return run_;
}

void RunLog::End(std::string_view outcome) {
    if (!run_)
        return;
    std::int64_t id = run_;
    bool owner = owner_;
    run_ = 0;
    owner_ = false;
    made_.clear();
    valuesKept_.clear();
    pending_.clear();
    program_.clear(); // a description is of one run
    command_.clear();
    ::unsetenv("ZEPSETUP_RUN");
    Database& db = machine_.store();
    if (!owner) {
        lock_ = UniqueFd();
        return;
    }
    Transaction txn(db);
    db.Prepare("UPDATE runs SET ended = ?2, outcome = ?3 WHERE id = ?1 AND ended IS NULL AND "
               "outcome IS NULL")
        .Bind(1, id)
        .Bind(2, TimeStamp())
        .Bind(3, outcome)
        .Run();
    if (db.Changes() > 0)
        Salvage(id);
    txn.Commit();
    lock_ = UniqueFd();
    if (UniqueFd folder = OpenRunsFolder(machine_, false); folder.valid())
        ::unlinkat(folder.get(), LockName(id).c_str(), 0);
    if (std::exchange(pruneDue_, false) && !db.InWriteTransaction())
        Prune();
}

void RunLog::Record(const FileChange& change) {
    std::int64_t run = Join();
    if (!recording_ || !run)
        return;
    Tell({"file",
          {},
          {std::to_string(static_cast<int>(change.op)), win::FromAnsi(change.path),
           win::FromAnsi(change.other), std::to_string(change.attributes), change.kept,
           std::to_string(change.bytes)}});
    using Op = FileChange::Op;
    if (change.op == Op::MadeFile || change.op == Op::MadeFolder)
        made_.insert(UpperKey(change.path));
    if (change.op == Op::DeletedFile || change.op == Op::RemovedFolder || change.op == Op::Moved)
        made_.erase(UpperKey(change.path));
    if (change.op == Op::Moved)
        made_.insert(UpperKey(change.other));
}

// Appended before the change happens, so that the change never exists without its record.
void RunLog::Tell(RunRecord record) {
    record.token = process_ + "." + std::to_string(++told_);
    std::string line = RecordLine(record);
    if (line.size() > kMostRecordLine)
        throw MachineError(machine_.root().string() +
                           ": the change is too large to keep a record of it");
    if (::write(lock_.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        throw MachineError(machine_.root().string() +
                           ": cannot keep a record of this run: " + std::strerror(errno));
    if (machine_.store().InWriteTransaction())
        pending_.push_back(std::move(record.token));
}

// A rolled-back transaction's changes never happened: their records are withdrawn. At
// worst (the file cannot be written) a record stays that taking the run back finds
// already true. What this process took as recorded once for the run may have been
// withdrawn with them: it is recorded again at its next change.
void RunLog::WriteEnded(bool committed) {
    if (committed || pending_.empty()) {
        pending_.clear();
        return;
    }
    if (lock_.valid()) {
        std::string lines;
        for (const std::string& token : pending_)
            lines += RecordLine({"cancel", token, {}});
        [[maybe_unused]] ssize_t written = ::write(lock_.get(), lines.data(), lines.size());
    }
    pending_.clear();
    made_.clear();
    valuesKept_.clear();
}

// Tells each row stmt yields (table, op, id, parent, name, upper, type, data, drive);
// returns how many there were.
int RunLog::TellRows(Statement& stmt) {
    int rows = 0;
    for (; stmt.Step(); ++rows) {
        RunRecord record{"row", {}, {}};
        for (int column = 0; column < 9; ++column) {
            if (stmt.IsNull(column))
                record.fields.emplace_back();
            else
                record.fields.emplace_back(std::string(stmt.BlobView(column)));
        }
        Tell(std::move(record));
    }
    return rows;
}

// The registry's and the recycle bin's rows as they were before a change: what is made
// is named by its key, what goes or is updated is kept whole.
void RunLog::KeyMade(std::int64_t key, std::int64_t parent, const std::string& name,
                     const std::string& upper) {
    if (!Join() || !recording_)
        return;
    std::optional<std::string> above;
    if (parent)
        above = std::to_string(parent);
    Tell({"row", {}, {"key", "insert", std::to_string(key), above, name, upper, {}, {}, {}}});
}

void RunLog::KeysGoing(std::int64_t key, bool tree) {
    if (!Join() || !recording_)
        return;
    // Values first: taking the change back puts the keys back before their values.
    std::string with(tree ? kKeyTree : kOneKey);
    Database& db = machine_.store();
    TellRows(db.Prepare(with + "SELECT 'value', 'delete', key, NULL, name, upper, type, data, "
                               "NULL FROM reg_values WHERE key IN tree")
                 .Bind(1, key));
    TellRows(db.Prepare(with + "SELECT 'key', 'delete', id, parent, name, upper, NULL, NULL, "
                               "NULL FROM reg_keys WHERE id IN tree")
                 .Bind(1, key));
}

void RunLog::ValueChanging(std::int64_t key, const std::string& upper, const std::string& name,
                           bool deleting) {
    if (!Join() || !recording_)
        return;
    // Taking the run back needs a value only as it was before the run's first change of it
    // (deleting a value that is not there changes nothing).
    if (valuesKept_.count({key, upper}))
        return;
    auto& stmt = machine_.store().Prepare("SELECT 'value', ?3, key, NULL, name, upper, type, "
                                          "data, NULL FROM reg_values WHERE key = ?1 AND "
                                          "upper = ?2");
    stmt.Bind(1, key).Bind(2, upper).Bind(3, deleting ? "delete" : "update");
    if (TellRows(stmt) == 0) {
        if (deleting)
            return;
        Tell({"row", {}, {"value", "insert", std::to_string(key), {}, name, upper, {}, {}, {}}});
    }
    valuesKept_.emplace(key, upper);
}

void RunLog::RecycleChanging(std::int64_t id, bool adding) {
    if (!Join() || !recording_)
        return;
    if (adding) {
        Tell({"row", {}, {"recycle", "insert", std::to_string(id), {}, {}, {}, {}, {}, {}}});
        return;
    }
    TellRows(machine_.store()
                 .Prepare("SELECT 'recycle', 'delete', id, size, stored, original, folder, "
                          "deleted, drive FROM recycle_bin WHERE id = ?1")
                 .Bind(1, id));
}

// Moves the records of the run's file into the store (inside the caller's transaction,
// once: when the run ends or is found dead). The file may come from anyone: a record of
// another shape is passed over.
// The records the run's file tells and did not withdraw, in order.
void RunLog::ReadTold(std::int64_t run, const std::function<void(const RunRecord&)>& take) {
    UniqueFd folder = OpenRunsFolder(machine_, false);
    UniqueFd fd(folder.valid() ? ::openat(folder.get(), LockName(run).c_str(),
                                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK)
                               : -1);
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    auto unreadable = [&] {
        return MachineError(machine_.root().string() + ": cannot read the record of run " +
                            std::to_string(run) + ": " + std::strerror(errno));
    };
    std::unordered_set<std::string> cancelled;
    if (!ReadRecords(
            fd.get(), [&](const RunRecord& record) { cancelled.insert(record.token); }, "cancel") ||
        ::lseek(fd.get(), 0, SEEK_SET) != 0)
        throw unreadable();
    bool whole = ReadRecords(fd.get(), [&](const RunRecord& record) {
        if (record.kind != "cancel" && !cancelled.count(record.token))
            take(record);
    });
    if (!whole)
        throw unreadable();
}

void RunLog::Salvage(std::int64_t run) {
    Database& db = machine_.store();
    auto last = [&](const char* sql) {
        auto& stmt = db.Prepare(sql);
        stmt.Bind(1, run);
        std::int64_t seq = stmt.Step() ? stmt.Int(0) : 0;
        stmt.Reset();
        return seq;
    };
    std::int64_t fileSeq = last("SELECT coalesce(max(seq), 0) FROM run_files WHERE run = ?1");
    std::int64_t rowSeq = last("SELECT coalesce(max(seq), 0) FROM run_rows WHERE run = ?1");
    ReadTold(run, [&](const RunRecord& record) {
        if (record.kind == "file" && SalvageFile(run, fileSeq + 1, record.fields))
            ++fileSeq;
        if (record.kind == "row" && SalvageRow(run, rowSeq + 1, record.fields))
            ++rowSeq;
    });
}

// A run still going has its changes so far in its file only.
void RunLog::CountTold(RunInfo& run) {
    if (!run.alive)
        return;
    ReadTold(run.id, [&](const RunRecord& record) {
        const auto& f = record.fields;
        std::int64_t bytes = 0;
        if (record.kind == "file" && f.size() == 6 && f[5] && ParseCount(*f[5], bytes))
            run.keptBytes += bytes;
        if (record.kind == "row" && f.size() == 9 && f[7])
            run.keptBytes += static_cast<std::int64_t>(f[7]->size());
        ++run.changes;
    });
}

// A file change: op, path, other, attributes, kept, bytes.
bool RunLog::SalvageFile(std::int64_t run, std::int64_t seq, const RunRecord::Fields& f) {
    std::int64_t op = 0, attributes = 0, bytes = 0;
    if (f.size() != 6 || !f[0] || !f[1] || !f[2] || !f[3] || !f[4] || !f[5] ||
        !ParseCount(*f[0], op) || op > static_cast<std::int64_t>(FileChange::Op::Moved) ||
        f[1]->empty() || !ParseCount(*f[3], attributes) || !ParseCount(*f[5], bytes) ||
        f[4]->find_first_not_of("0123456789-") != std::string::npos)
        return false;
    machine_.store()
        .Prepare("INSERT INTO run_files(run, seq, op, path, other, attrs, kept, bytes) "
                 "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
        .Bind(1, run)
        .Bind(2, seq)
        .Bind(3, op)
        .Bind(4, *f[1])
        .Bind(5, *f[2])
        .Bind(6, attributes)
        .Bind(7, *f[4])
        .Bind(8, bytes)
        .Run();
    return true;
}

// A registry or recycle bin row: table, op, id, parent, name, upper, type, data, drive.
bool RunLog::SalvageRow(std::int64_t run, std::int64_t seq, const RunRecord::Fields& f) {
    std::int64_t id = 0, parent = 0, type = 0;
    if (f.size() != 9 || !f[0] || !f[1] || !f[2] ||
        (*f[0] != "key" && *f[0] != "value" && *f[0] != "recycle") ||
        (*f[1] != "insert" && *f[1] != "delete" && *f[1] != "update") || !ParseId(*f[2], id) ||
        (f[3] && !ParseCount(*f[3], parent)) || (f[6] && !ParseCount(*f[6], type)))
        return false;
    auto& insert = machine_.store().Prepare(
        "INSERT INTO run_rows(run, seq, tbl, op, id, parent, name, upper, type, data, drive) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    insert.Bind(1, run).Bind(2, seq).Bind(3, *f[0]).Bind(4, *f[1]).Bind(5, id);
    f[3] ? insert.Bind(6, parent) : insert.BindNull(6);
    for (int column : {4, 5, 8})
        f[column] ? insert.Bind(column + 3, *f[column]) : insert.BindNull(column + 3);
    f[6] ? insert.Bind(9, type) : insert.BindNull(9);
    f[7] ? insert.BindBlob(10, f[7]->data(), f[7]->size()) : insert.BindNull(10);
    insert.Run();
    return true;
}

bool RunLog::MadeByThisRun(const std::string& path) const {
    return run_ && made_.count(UpperKey(path));
}

UniqueFd RunLog::OpenKept(bool create) {
    UniqueFd runs = OpenRunsFolder(machine_, create);
    if (!runs.valid())
        return runs;
    return OpenFolderAt(runs.get(), "kept", create);
}

void RunLog::Keep(int dirFd, const std::string& name, FileChange& change) {
    static unsigned counter = 0;
    std::int64_t run = Join();
    if (!recording_ || !run)
        return;
    UniqueFd kept = OpenKept(true);
    struct stat st;
    if (!kept.valid() || ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
        throw MachineError(machine_.root().string() + ": cannot keep " + change.path +
                           " to take the change back: " + std::strerror(errno));
    std::string keptName =
        std::to_string(run) + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    // A file with other links may be another name of a file outside the machine, whose
    // links must not change: it is kept as a copy, as is one on another file system.
    bool done =
        st.st_nlink == 1 && ::linkat(dirFd, name.c_str(), kept.get(), keptName.c_str(), 0) == 0;
    if (!done && (st.st_nlink > 1 || errno == EXDEV)) {
        UniqueFd from(
            ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        UniqueFd to(::openat(kept.get(), keptName.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        done = from.valid() && to.valid() && CopyFileBytes(from.get(), to.get());
        if (!done && to.valid())
            ::unlinkat(kept.get(), keptName.c_str(), 0);
    }
    if (!done)
        throw MachineError(machine_.root().string() + ": cannot keep " + change.path +
                           " to take the change back: " + std::strerror(errno));
    change.kept = keptName;
    change.bytes = st.st_size;
}

std::vector<RunInfo> RunLog::TakeUnfinished() {
    Database& db = machine_.store();
    std::vector<RunInfo> found;
    // Asked by every process that opens the machine: only what the notice names.
    auto& stmt = db.Prepare("SELECT id, program FROM runs "
                            "WHERE ended IS NULL AND outcome IS NULL AND noticed = 0 ORDER BY id");
    while (stmt.Step()) {
        RunInfo run;
        run.id = stmt.Int(0);
        run.program = stmt.Text(1);
        found.push_back(std::move(run));
    }
    std::erase_if(found, [&](const RunInfo& r) { return r.id == run_ || Alive(r.id); });
    if (found.empty())
        return found;
    // Each in a transaction of its own, taken by one process only: the first to see it.
    std::erase_if(found, [&](RunInfo& run) {
        Transaction txn(db);
        db.Prepare("UPDATE runs SET outcome = ?2, noticed = 1 WHERE id = ?1 AND ended IS NULL "
                   "AND outcome IS NULL")
            .Bind(1, run.id)
            .Bind(2, kRunUnfinished)
            .Run();
        if (db.Changes() == 0)
            return true;
        Salvage(run.id);
        txn.Commit();
        run.outcome = std::string(kRunUnfinished);
        if (UniqueFd folder = OpenRunsFolder(machine_, false); folder.valid())
            ::unlinkat(folder.get(), LockName(run.id).c_str(), 0);
        return false;
    });
    return found;
}

std::vector<RunInfo> RunLog::List() {
    std::vector<RunInfo> runs;
    auto& stmt = machine_.store().Prepare(std::string(kRunColumns) + "ORDER BY id DESC");
    while (stmt.Step())
        runs.push_back(ReadRun(stmt));
    for (auto& run : runs) {
        run.alive = run.outcome.empty() && (run.id == run_ || Alive(run.id));
        CountTold(run);
    }
    return runs;
}

std::optional<RunInfo> RunLog::Find(std::int64_t id) {
    auto& stmt = machine_.store().Prepare(std::string(kRunColumns) + "WHERE id = ?1");
    stmt.Bind(1, id);
    if (!stmt.Step())
        return std::nullopt;
    RunInfo run = ReadRun(stmt);
    stmt.Reset();
    run.alive = run.outcome.empty() && (run.id == run_ || Alive(run.id));
    CountTold(run);
    return run;
}

std::vector<FileChange> RunLog::FileChanges(std::int64_t run) {
    std::vector<FileChange> changes;
    auto& stmt = machine_.store().Prepare("SELECT seq, op, path, other, attrs, kept, bytes FROM "
                                          "run_files WHERE run = ?1 ORDER BY seq");
    stmt.Bind(1, run);
    while (stmt.Step()) {
        FileChange c;
        c.seq = stmt.Int(0);
        c.run = run;
        std::int64_t op = stmt.Int(1);
        if (op < 0 || op > static_cast<std::int64_t>(FileChange::Op::Moved))
            throw MachineError("the record of run " + std::to_string(run) +
                               " is damaged (a change of unknown kind)");
        c.op = static_cast<FileChange::Op>(op);
        c.path = win::ToAnsi(stmt.Text(2));
        c.other = win::ToAnsi(stmt.Text(3));
        c.attributes = static_cast<DWORD>(stmt.Int(4));
        c.kept = stmt.Text(5);
        c.bytes = stmt.Int(6);
        changes.push_back(std::move(c));
    }
    return changes;
}

std::int64_t RunLog::KeptRunsLimit() {
    std::int64_t runs = kDefaultKeptRuns;
    std::string text = machine_.Setting("undo_runs");
    return text.empty() || !ParseCount(text, runs) ? kDefaultKeptRuns : runs;
}

std::vector<std::int64_t> RunLog::Prune() {
    std::int64_t keepRuns = KeptRunsLimit();
    std::int64_t keepBytes = kDefaultKeptBytes;
    if (std::string text = machine_.Setting("undo_bytes"); !ParseCount(text, keepBytes))
        keepBytes = kDefaultKeptBytes;
    std::vector<std::int64_t> dropped;
    std::int64_t runs = 0, bytes = 0;
    for (const RunInfo& run : List()) {
        if (run.forgotten)
            continue;
        ++runs;
        bytes += run.keptBytes;
        bool within = runs <= keepRuns && (bytes <= keepBytes || run.id == run_);
        if (!within && !run.alive && Forget(run.id))
            dropped.push_back(run.id);
    }
    return dropped;
}

bool RunLog::Forget(std::int64_t id) {
    auto run = Find(id);
    if (!run || run->alive)
        return false;
    Database& db = machine_.store();
    Transaction txn(db);
    db.Prepare("DELETE FROM run_rows WHERE run = ?1").Bind(1, id).Run();
    db.Prepare("DELETE FROM run_files WHERE run = ?1").Bind(1, id).Run();
    db.Prepare("UPDATE runs SET forgotten = 1 WHERE id = ?1").Bind(1, id).Run();
    txn.Commit();
    DropKept(id);
    return true;
}

// Removes the kept files of run (once its rows are gone: a kept file without a row is of
// no use).
void RunLog::DropKept(std::int64_t run) {
    UniqueFd kept = OpenKept(false);
    if (!kept.valid())
        return;
    std::vector<std::string> names;
    if (DIR* dir = ::fdopendir(::dup(kept.get()))) {
        while (dirent* entry = ::readdir(dir)) {
            if (KeptRun(entry->d_name) == run)
                names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    for (const auto& name : names)
        ::unlinkat(kept.get(), name.c_str(), 0);
}

void RunLog::SetUndone(std::int64_t run, bool undone) {
    auto& stmt = machine_.store().Prepare("UPDATE runs SET undone_by = ?2 WHERE id = ?1");
    stmt.Bind(1, run);
    if (undone)
        stmt.Bind(2, Join());
    else
        stmt.BindNull(2);
    stmt.Run();
}

void RunLog::SetUndoes(std::int64_t run) {
    machine_.store()
        .Prepare("UPDATE runs SET undoes = ?2 WHERE id = ?1")
        .Bind(1, Join())
        .Bind(2, run)
        .Run();
}

} // namespace portable
