// zepmachine runs: the runs of the machine, what is kept to take them back, and how much.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/portable/runs/run_log.h"
#include "platform/portable/store/sqlite_db.h"
#include "platform/quoted_input.h"

#include <algorithm>
#include <array>
#include <optional>

namespace zepmachine {

extern const Verb kRunsVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine runs [--json]\n"
    "       zepmachine runs --forget RUN\n"
    "       zepmachine runs [--keep-runs N] [--keep-bytes BYTES]\n"
    "\n"
    "Every process that changes the machine belongs to a run (a program started with\n"
    "`zepmachine run` or `try` and the processes it starts, or one zepmachine command), and\n"
    "the machine keeps with each change what it replaced, so that `zepmachine undo RUN` can\n"
    "take the run back. Lists the runs, newest first: ID, when it started (UTC), how it\n"
    "ended (finished, killed, crashed, machine failure, did not finish; running while a\n"
    "process of it lives), its changes, the bytes kept to take it back, a note (an undo:\n"
    "the run it took back; a run taken back: by which run; a run whose kept contents were\n"
    "dropped: it can no longer be undone) and the program.\n"
    "\n"
    "  --json             one JSON array (UTF-8), one object per run on a line of its own:\n"
    "                     {\"id\":N,\"program\":S,\"command\":S,\"started\":TIME,\n"
    "                      \"ended\":TIME|null,\"outcome\":S,\"changes\":N,\"kept_bytes\":N,\n"
    "                      \"undoable\":BOOL,\"undoes\":N|null,\"undone_by\":N|null,\n"
    "                      \"alive\":BOOL}\n"
    "  --forget RUN       drops what run RUN replaced: it can no longer be undone\n"
    "                     (exit status 1 when there is no such run or it is running)\n"
    "  --keep-runs N      keep what at most the N newest runs replaced (0 to 100000;\n"
    "                     20 unless set; with 0 no run records what it replaces)\n"
    "  --keep-bytes BYTES keep at most BYTES for that (digits, or with K, M or G for KiB,\n"
    "                     MiB, GiB; at most 1024G; 512M unless set)\n"
    "The two --keep options store the machine's settings undo_runs and undo_bytes, then\n"
    "drop what the oldest runs replaced until both hold, and name the runs dropped.\n"
    "\n"
    "Exit status 0; 1 on trouble (see --forget); 2 for a wrong argument.\n";

constexpr std::int64_t kMaxRuns = 100000;
constexpr std::int64_t kMaxBytes = std::int64_t{1} << 40;

// How the run ended, or that it still runs.
std::string Outcome(const portable::RunInfo& r) {
    if (r.alive)
        return "running";
    return r.outcome.empty() ? std::string(portable::kRunUnfinished) : r.outcome;
}

bool Undoable(const portable::RunInfo& r) {
    return !r.alive && !r.forgotten && r.undoneBy == 0;
}

std::string Note(const portable::RunInfo& r) {
    std::string note;
    auto add = [&](const std::string& part) { note += (note.empty() ? "" : ", ") + part; };
    if (r.undoes != 0)
        add("undo of run " + std::to_string(r.undoes));
    if (r.undoneBy != 0)
        add("taken back by run " + std::to_string(r.undoneBy));
    else if (r.forgotten)
        add("can no longer be undone");
    return note.empty() ? "-" : note;
}

std::string Count(std::int64_t n) {
    return Grouped(static_cast<std::uint64_t>(std::max<std::int64_t>(n, 0)));
}

// The store's texts come from the machine: escaped, and cut to keep the columns.
std::string Shown(const std::string& text, size_t limit) {
    return win::QuotedInput(text, limit);
}

std::string Padded(const std::string& text, size_t width, bool right) {
    std::string fill(width > text.size() ? width - text.size() : 0, ' ');
    return right ? fill + text : text + fill;
}

std::string Table(const std::vector<portable::RunInfo>& runs) {
    constexpr size_t kColumns = 6;
    constexpr std::array<bool, kColumns> kRight{true, false, false, true, true, false};
    std::vector<std::array<std::string, kColumns>> rows{
        {"ID", "STARTED", "OUTCOME", "CHANGES", "KEPT", "NOTE"}};
    std::vector<std::string> programs{"PROGRAM"};
    for (const auto& r : runs) {
        rows.push_back({std::to_string(r.id), Shown(r.started, 30), Shown(Outcome(r), 20),
                        Count(r.changes), Count(r.keptBytes), Note(r)});
        programs.push_back(Shown(r.program, 80));
    }
    std::array<size_t, kColumns> widths{};
    for (const auto& row : rows) {
        for (size_t i = 0; i < kColumns; ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    std::string out;
    for (size_t n = 0; n < rows.size(); ++n) {
        for (size_t i = 0; i < kColumns; ++i)
            out += Padded(rows[n][i], widths[i], kRight[i]) + "  ";
        out += programs[n] + "\n";
    }
    return out;
}

std::string Field(std::string_view name, const std::string& json) {
    return "\"" + std::string(name) + "\":" + json;
}

std::string NumberOrNull(std::int64_t n) {
    return n == 0 ? "null" : std::to_string(n);
}

std::string Json(const portable::RunInfo& r) {
    const std::string fields[] = {
        Field("id", std::to_string(r.id)),
        Field("program", JsonString(r.program)),
        Field("command", JsonString(r.command)),
        Field("started", JsonString(r.started)),
        Field("ended", r.ended.empty() ? "null" : JsonString(r.ended)),
        Field("outcome", JsonString(Outcome(r))),
        Field("changes", std::to_string(r.changes)),
        Field("kept_bytes", std::to_string(r.keptBytes)),
        Field("undoable", Undoable(r) ? "true" : "false"),
        Field("undoes", NumberOrNull(r.undoes)),
        Field("undone_by", NumberOrNull(r.undoneBy)),
        Field("alive", r.alive ? "true" : "false"),
    };
    std::string out = "{";
    for (const auto& f : fields)
        out += (out.size() > 1 ? "," : "") + f;
    return out + "}";
}

int List(bool json) {
    std::vector<portable::RunInfo> runs = TheMachine().Runs().List();
    if (!json) {
        WriteStdout(runs.empty() ? "no runs\n" : Table(runs));
        return 0;
    }
    std::string out = "[";
    for (size_t i = 0; i < runs.size(); ++i)
        out += (i == 0 ? "\n" : ",\n") + Json(runs[i]);
    WriteStdout(out + (runs.empty() ? "]\n" : "\n]\n"));
    return 0;
}

// A whole number from 1 to max: digits, and with units a K, M or G (1024-based) after them.
std::int64_t Number(const std::string& option, const std::string& text, std::int64_t max,
                    bool units) {
    std::string digits = text;
    std::int64_t unit = 1;
    if (units && !digits.empty()) {
        size_t at = std::string_view("KMG").find(
            static_cast<char>(std::toupper(static_cast<unsigned char>(digits.back()))));
        if (at != std::string_view::npos) {
            unit = std::int64_t{1} << (10 * (at + 1));
            digits.pop_back();
        }
    }
    bool sound = !digits.empty() && digits.size() <= 15 &&
                 digits.find_first_not_of("0123456789") == std::string::npos;
    std::int64_t n = sound ? std::stoll(digits) : 0;
    if (!sound || n > max / unit)
        throw CliError(option + " takes a number from 0 to " + Grouped(max) + ", not '" +
                           win::QuotedInput(text) + "'",
                       2);
    return n * unit;
}

void RefuseReadOnly(portable::Machine& machine) {
    if (machine.ReadOnly())
        throw CliError(portable::WhyUnchangeable(machine));
}

int Forget(const std::string& text) {
    std::int64_t id = RunNumber(text);
    portable::Machine& machine = TheMachine();
    RefuseReadOnly(machine);
    portable::RunLog& runs = machine.Runs();
    std::optional<portable::RunInfo> run = runs.Find(id);
    if (!run)
        throw CliError("no run " + std::to_string(id));
    if (run->alive || !runs.Forget(id))
        throw CliError("run " + std::to_string(id) +
                       " is running: what it replaced is still "
                       "needed");
    WriteStdout("run " + std::to_string(id) + " can no longer be undone: what it replaced is " +
                "dropped\n");
    return 0;
}

int Keep(std::optional<std::int64_t> keepRuns, std::optional<std::int64_t> keepBytes) {
    portable::Machine& machine = TheMachine();
    RefuseReadOnly(machine);
    std::string out;
    {
        portable::Transaction transaction(machine.store());
        if (keepRuns) {
            machine.SetSetting("undo_runs", std::to_string(*keepRuns));
            out += "undo_runs = " + std::to_string(*keepRuns) + "\n";
        }
        if (keepBytes) {
            machine.SetSetting("undo_bytes", std::to_string(*keepBytes));
            out += "undo_bytes = " + std::to_string(*keepBytes) + "\n";
        }
        transaction.Commit();
    }
    std::vector<std::int64_t> dropped = machine.Runs().Prune();
    for (std::int64_t id : dropped)
        out += "run " + std::to_string(id) + " can no longer be undone: what it replaced is " +
               "dropped\n";
    WriteStdout(out);
    return 0;
}

int Run(std::span<const std::string> args) {
    if (args.empty())
        return List(false);
    if (args.size() == 1 && args[0] == "--json")
        return List(true);
    if (args.size() == 2 && args[0] == "--forget")
        return Forget(args[1]);
    std::optional<std::int64_t> keepRuns, keepBytes;
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--keep-runs" && !keepRuns)
            keepRuns = Number(args[i], args[i + 1], kMaxRuns, false);
        else if (args[i] == "--keep-bytes" && !keepBytes)
            keepBytes = Number(args[i], args[i + 1], kMaxBytes, true);
        else
            break;
    }
    size_t used = (keepRuns ? 2 : 0) + (keepBytes ? 2 : 0);
    if (used == 0 || used != args.size())
        throw CliError("wrong arguments\nusage: zepmachine runs [--json] | --forget RUN | "
                       "[--keep-runs N] [--keep-bytes BYTES]",
                       2);
    return Keep(keepRuns, keepBytes);
}

} // namespace

const Verb kRunsVerb{"runs", "list the runs that changed the machine; what is kept to undo them",
                     kUsage, Run};

} // namespace zepmachine
