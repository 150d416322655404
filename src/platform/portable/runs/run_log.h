// Runs: every process that changes a machine belongs to one run, and the machine keeps,
// with each change, what the change replaced, so that a run can be taken back whole
// (run_undo.h). Kept in the machine's store (machine.db) and its "runs" folder:
//
//   runs(id, program, command, started, ended, outcome, undoes, undone_by, forgotten,
//        noticed)                         one row per run; ended and outcome are NULL while
//                                         it runs or when it died unseen
//   run_rows(run, seq, tbl, op, ...)      the registry's and the recycle bin's rows as they
//                                         were before a change
//   run_files(run, seq, op, path, ...)    one row per change of a file or folder, with
//                                         what it replaced; a file's old contents are kept
//                                         as a link (or a private copy) in runs/kept
//
// A process joins a run at its first change: the run named by $ZEPSETUP_RUN when that run
// is alive on this machine (a program started by `zepmachine run`, a registry editor a
// program starts), else a run of its own, which ends when the process ends normally. Each
// process of a run holds a shared lock (flock) on runs/ID.lock; a run whose lock nobody
// holds and that has no end did not finish, and the next process that opens the machine
// says so once.
//
// While a run lasts, its changes are told in runs/ID.lock, each before it happens
// (run_file.h); whoever ends the run or finds it dead moves them into run_rows and
// run_files. A change never exists without what it replaced, even after kill -9, and adds
// no page to the store's commit of it.
#pragma once

#include "platform/portable/files/change_record.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/runs/run_file.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace portable {

class Database;
class Statement;
class Machine;

// How a run ended, as `zepmachine runs` shows it.
inline constexpr std::string_view kRunFinished = "finished";
inline constexpr std::string_view kRunKilled = "killed";
inline constexpr std::string_view kRunCrashed = "crashed";
inline constexpr std::string_view kRunMachineFailure = "machine failure";
inline constexpr std::string_view kRunUnfinished = "did not finish";

struct RunInfo {
    std::int64_t id = 0;
    std::string program; // what ran, e.g. "C:\PROGRAMME\ZEPSETUP\ZEPSETUP.EXE" or "zepsetup"
    std::string command; // its whole command line
    std::string started; // UTC, as TimeStamp()
    std::string ended;   // empty while it runs or when it died unseen
    std::string outcome; // one of the kRun* words; empty while it runs
    std::int64_t changes = 0;
    std::int64_t keptBytes = 0; // kept to take the run back
    std::int64_t undoes = 0;    // the run this one took back (an undo), else 0
    std::int64_t undoneBy = 0;  // the run that took this one back, else 0
    bool forgotten = false;     // what it replaced is no longer kept: it cannot be undone
    bool alive = false;         // a process of it still runs
};

class RunLog : public ChangeRecord {
public:
    static void CreateSchema(Database& db);

    explicit RunLog(Machine& machine);
    // A run this process began ends here as finished (the process ends normally).
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // What this process is, for a run it begins (the default: its own command line).
    void Describe(std::string program, std::string command);
    // This process's run: joined or begun on first use. Inside a write transaction. Throws
    // MachineError when the run's lock file cannot be made.
    std::int64_t Join() override;
    // While held, changes belong to no run and nothing is recorded: the machine being made
    // is where every run starts from, not a run's change.
    void Hold(bool held) { held_ = held; }
    // This process's run, or 0 before its first change.
    std::int64_t Current() const { return run_; }
    // Ends a run this process began with outcome (zepmachine run knows how its program
    // ended); later calls of Join begin a new run.
    void End(std::string_view outcome);

    // The file changes of this process's run (files/change_record.h). Kept contents are a
    // hard link in runs/kept, or a copy for a file with other links or on another file
    // system.
    void Record(const FileChange& change) override;
    bool MadeByThisRun(const std::string& path) const override;
    void Keep(int dirFd, const std::string& name, FileChange& change) override;
    // The registry's and the recycle bin's rows (files/change_record.h).
    void KeyMade(std::int64_t key, std::int64_t parent, const std::string& name,
                 const std::string& upper) override;
    void KeysGoing(std::int64_t key, bool tree) override;
    void ValueChanging(std::int64_t key, const std::string& upper, const std::string& name,
                       bool deleting) override;
    void RecycleChanging(std::int64_t id, bool adding) override;

    // Runs that ended without finishing and were not named yet (id and program), marked as
    // named (a writable machine only).
    std::vector<RunInfo> TakeUnfinished();

    // Newest first.
    std::vector<RunInfo> List();
    std::optional<RunInfo> Find(std::int64_t id);
    std::vector<FileChange> FileChanges(std::int64_t run);
    // Drops what the oldest runs replaced until at most keepRuns runs and keepBytes bytes
    // are kept (the machine's settings undo_runs and undo_bytes, 20 and 512 MiB when
    // unset or not a count). With undo_runs 0 nothing is recorded: a run then only lists
    // what ran. Returns the ids of the runs it dropped.
    std::vector<std::int64_t> Prune();
    // Drops what run id replaced: it can no longer be undone. False when there is no such
    // run or it is alive.
    bool Forget(std::int64_t id);
    UniqueFd OpenKept(bool create) override; // runs/kept
    // Whether a process of run id holds its lock.
    bool Alive(std::int64_t id);
    // Whether run id has no end and a process of it holds its lock.
    bool Running(std::int64_t id);
    // Marks run undone by the current run, or (undone false) taken back again.
    void SetUndone(std::int64_t run, bool undone);
    void SetUndoes(std::int64_t run);

private:
    bool Open(std::int64_t id); // whether run id has no end
    void Tell(RunRecord record);
    void WriteEnded(bool committed);
    int TellRows(Statement& stmt);
    void ReadTold(std::int64_t run, const std::function<void(const RunRecord&)>& take);
    void Salvage(std::int64_t run);
    void CountTold(RunInfo& run);
    bool SalvageFile(std::int64_t run, std::int64_t seq, const RunRecord::Fields& fields);
    bool SalvageRow(std::int64_t run, std::int64_t seq, const RunRecord::Fields& fields);
    std::int64_t KeptRunsLimit();
    void DropKept(std::int64_t run);

    Machine& machine_;
    std::int64_t run_ = 0;
    bool owner_ = false;
    bool held_ = false;
    bool recording_ = false; // what changes replace is kept (undo_runs is not 0)
    bool pruneDue_ = false;  // begun inside a caller's transaction: old runs go at the end
    UniqueFd lock_;
    std::unordered_set<std::string> made_; // upper-case paths this process's run made
    std::set<std::pair<std::int64_t, std::string>> valuesKept_; // registry values recorded
    std::string process_;              // this process's part of its records' tokens
    std::uint64_t told_ = 0;           // records told so far
    std::vector<std::string> pending_; // tokens told in the open write transaction
    std::string program_, command_;
};

} // namespace portable
