// zepmachine try: runs a program on the machine, shows what it changed and takes it back.
#include "cli.h"
#include "diff_output.h"
#include "program_start.h"

#include "platform/portable/machine.h"
#include "platform/portable/runs/run_undo.h"
#include "platform/portable/store/machine_state.h"
#include "platform/portable/store/state_diff.h"
#include "platform/quoted_input.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace zepmachine {

extern const Verb kTryVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine try [--keep] [--json] [--] PROGRAM [ARGS...]\n"
    "\n"
    "Runs PROGRAM on the machine as a run of its own, prints what it changed (as\n"
    "`zepmachine diff` prints it: files and folders, registry keys and values, INI lines)\n"
    "and then takes the run back, so that the machine is as it was before. PROGRAM is a\n"
    "host program (a path, or a name found through PATH), which finds the machine in\n"
    "ZEPSETUP_MACHINE, or a program of the machine (a Windows path such as\n"
    "C:\\PROGRA~1\\ZEPSETUP\\ZEPSETUP.EXE), started as `zepmachine run` starts it. Progress\n"
    "(the run's number, how it ended, the undo) goes to stderr.\n"
    "\n"
    "  --keep  keep the changes: `zepmachine undo RUN` takes them back later\n"
    "  --json  the changes as `zepmachine diff --json` prints them, with \"snapshot\":\"run N\"\n"
    "          and \"taken\": the time just before PROGRAM started\n"
    "\n"
    "Exit status: PROGRAM's (128 + the signal when one ended it), or 1 when the run could\n"
    "not be taken back (refused, or a change that could not go back: named on stderr) or\n"
    "PROGRAM could not be started; 2 for a wrong argument.\n";

struct Options {
    bool keep = false;
    bool json = false;
    std::span<const std::string> program; // PROGRAM and its ARGS
};

Options Parse(std::span<const std::string> args) {
    Options options;
    size_t at = 0;
    for (; at < args.size() && args[at].starts_with("-"); ++at) {
        if (args[at] == "--") {
            ++at;
            break;
        }
        if (args[at] == "--keep")
            options.keep = true;
        else if (args[at] == "--json")
            options.json = true;
        else
            throw CliError("unknown option " + win::QuotedInput(args[at]) +
                               "\nusage: zepmachine try [--keep] [--json] [--] PROGRAM [ARGS...]",
                           2);
    }
    options.program = args.subspan(at);
    if (options.program.empty() || options.program[0].empty())
        throw CliError("expected the program to try\nusage: zepmachine try [--keep] [--json] "
                       "[--] PROGRAM [ARGS...]",
                       2);
    return options;
}

// "C:\..." and "c:" name a program of the machine; anything else is the host's.
bool IsWindowsPath(const std::string& path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

void Progress(const std::string& line) {
    std::fprintf(stderr, "zepmachine try: %s\n", line.c_str());
}

std::string HowItEnded(const Ending& ending) {
    return std::string(ending.Outcome()) + ", exit status " + std::to_string(ending.ExitStatus());
}

std::string Changes(std::int64_t n) {
    return Grouped(static_cast<std::uint64_t>(n < 0 ? 0 : n)) + (n == 1 ? " change" : " changes");
}

// Takes the run back; the reason when it could not be, else empty.
std::string TakeBack(portable::Machine& machine, std::int64_t run) {
    std::string id = std::to_string(run);
    portable::UndoReport report;
    try {
        report = portable::UndoRun(machine, run, false);
    } catch (const portable::UndoRefused& e) {
        return "run " + id + " was not taken back: " + e.what();
    }
    Progress("run " + id + " taken back: " + Changes(report.changes) + "; the undo is run " +
             std::to_string(report.undoRun));
    for (const auto& line : report.failed)
        Progress("not taken back: " + win::QuotedInput(line, 0));
    if (report.failed.empty())
        return {};
    return Changes(static_cast<std::int64_t>(report.failed.size())) + " of run " + id +
           " could not be taken back";
}

int Try(const Options& options) {
    portable::Machine& machine = TheMachine();
    RefuseUnchangeable(machine);
    // A run of its own, even when a program of another run started this zepmachine: only
    // that can be taken back alone.
    ::unsetenv("ZEPSETUP_RUN");
    Program program = IsWindowsPath(options.program[0])
                          ? MachineProgram(options.program[0], Joined(options.program.subspan(1)))
                          : HostProgram(options.program);
    std::string taken = portable::TimeStamp();
    portable::MachineState before = portable::CaptureState(machine);
    std::int64_t run = 0;
    Ending ending = StartInRun(program, run);
    std::string id = std::to_string(run);
    Progress("run " + id + " (" + win::QuotedInput(program.name, 100) +
             ") ended: " + HowItEnded(ending));
    portable::MachineState after = portable::CaptureState(machine); // the diff points into it
    portable::StateDiff diff = portable::CompareStates(before, after);
    std::string shown = options.json ? DiffJson(diff, "run " + id, taken) : DiffText(diff);
    std::string trouble;
    if (options.keep)
        Progress("run " + id + " kept; `zepmachine undo " + id + "` takes it back");
    else
        trouble = TakeBack(machine, run);
    // A reader that went away (a closed pipe) ends no more than the output.
    std::signal(SIGPIPE, SIG_IGN);
    WriteStdout(shown);
    if (!trouble.empty())
        throw CliError(trouble);
    return ending.ExitStatus();
}

int Run(std::span<const std::string> args) {
    return Try(Parse(args));
}

} // namespace

const Verb kTryVerb{"try", "run a program, show what it changed and take it back", kUsage, Run};

} // namespace zepmachine
