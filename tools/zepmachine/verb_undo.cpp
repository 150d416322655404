// zepmachine undo RUN: takes a run back.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/portable/runs/run_log.h"
#include "platform/portable/runs/run_undo.h"
#include "platform/quoted_input.h"

#include <optional>

namespace zepmachine {

extern const Verb kUndoVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine undo RUN [--force]\n"
    "\n"
    "Takes run RUN back (see `zepmachine runs`): every change it made, newest first, is\n"
    "answered by its opposite (a file it made is deleted, one it deleted or rewrote comes\n"
    "back as it was, registry values and keys and the recycle bin as they were). The undo\n"
    "is a run of its own, which can be taken back in turn. Prints the run, how many changes\n"
    "went back and the undo's run, and each change that could not go back.\n"
    "\n"
    "Refused, with nothing changed: a run that is unknown, running, already taken back or\n"
    "whose kept contents were dropped; while another run is running; and when a later run\n"
    "that was not taken back changed the same items, unless\n"
    "  --force  the run's items go back anyway; prints what of the later runs it overwrote\n"
    "\n"
    "Exit status 0; 1 when refused or a change could not go back; 2 for a wrong argument.\n";

// What the engine reports quotes the machine's paths and programs: no control byte passes.
std::string Lines(const std::string& head, const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines)
        out += head + win::QuotedInput(line, 0) + "\n";
    return out;
}

std::string Changes(std::int64_t n) {
    return Grouped(static_cast<std::uint64_t>(n < 0 ? 0 : n)) + (n == 1 ? " change" : " changes");
}

int Undo(std::int64_t id, bool force) {
    portable::Machine& machine = TheMachine();
    if (std::string why = portable::WhyUnchangeable(machine); !why.empty())
        throw CliError(why + "; nothing was taken back");
    std::optional<portable::RunInfo> run = machine.Runs().Find(id);
    portable::UndoReport report;
    try {
        report = portable::UndoRun(machine, id, force);
    } catch (const portable::UndoRefused& e) {
        throw CliError(e.what());
    }
    std::string program = run ? " (" + win::QuotedInput(run->program, 100) + ")" : "";
    std::string out = "run " + std::to_string(id) + program +
                      " taken back: " + Changes(report.changes) + "; the undo is run " +
                      std::to_string(report.undoRun) + "\n";
    out += Lines("overwritten: ", report.overwritten);
    out += Lines("not taken back: ", report.failed);
    WriteStdout(out);
    if (!report.failed.empty())
        throw CliError(Changes(static_cast<std::int64_t>(report.failed.size())) +
                       " could not be taken back");
    return 0;
}

int Run(std::span<const std::string> args) {
    std::vector<std::string> runs;
    bool force = false;
    for (const auto& a : args) {
        if (a == "--force")
            force = true;
        else
            runs.push_back(a);
    }
    ExpectArgs(runs, 1, 1, "zepmachine undo RUN [--force]");
    return Undo(RunNumber(runs[0]), force);
}

} // namespace

const Verb kUndoVerb{"undo", "take a run back: the machine as it was before it", kUsage, Run};

} // namespace zepmachine
