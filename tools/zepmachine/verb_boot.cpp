// zepmachine boot: restarts the machine.
#include "cli.h"

#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/restart.h"
#include "platform/quoted_input.h"

#include <cstdio>

namespace zepmachine {

extern const Verb kBootVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine boot [--verbose]\n"
    "\n"
    "Restarts the machine as Windows 95 starts: the [rename] section of WININIT.INI in\n"
    "the Windows folder is processed line by line (NUL=PATH deletes the file, DEST=SRC\n"
    "renames SRC to DEST; entries whose files are missing are skipped). WININIT.INI\n"
    "becomes WININIT.BAK first, so that its lines run at most once; when it cannot, nothing\n"
    "runs. Each line that changes something is marked done in the same step, so that a\n"
    "boot cut off in the middle goes on with the next line of WININIT.BAK at the next boot\n"
    "and no line runs twice. A restart a program asked for (ExitWindowsEx) is then done.\n"
    "Prints every entry that failed and a count of the entries at the end.\n"
    "\n"
    "  --verbose   print one line for every entry, in the order they ran\n"
    "\n"
    "Exit status 1 when WININIT.INI could not be set aside or a line failed.\n";

// Writes the boot's steps as they come, in blocks: a WININIT.INI of a million entries
// prints as fast as it runs and is never held whole.
class Printer : public portable::BootListener {
public:
    explicit Printer(bool verbose) : verbose_(verbose) {}

    void Resuming(size_t line) override {
        Add("an interrupted boot goes on with line " + std::to_string(line + 1) +
            " of WININIT.BAK");
    }
    void SetAside() override { Add("WININIT.INI -> WININIT.BAK"); }
    void Entry(portable::BootOutcome outcome, const std::string& action) override {
        if (verbose_ || outcome == portable::BootOutcome::Failed)
            Add(win::QuotedInput(action, 0));
    }
    void Add(const std::string& line) {
        out_ += line;
        out_ += '\n';
        if (out_.size() >= 64 * 1024)
            Flush();
    }
    void Flush() {
        WriteStdout(out_);
        out_.clear();
    }

private:
    bool verbose_;
    std::string out_;
};

std::string Summary(const portable::BootCounts& c) {
    size_t n = c.Entries();
    return Grouped(n) + (n == 1 ? " entry: " : " entries: ") + Grouped(c.deleted) + " deleted, " +
           Grouped(c.renamed) + " renamed, " + Grouped(c.skipped) + " skipped, " +
           Grouped(c.failed) + " failed";
}

int Run(std::span<const std::string> args) {
    bool verbose = !args.empty() && args.front() == "--verbose";
    ExpectArgs(args.subspan(verbose ? 1 : 0), 0, 0, "zepmachine boot [--verbose]");
    portable::Machine& machine = TheMachine();
    std::string pending = portable::PendingRestart(machine);
    Printer printer(verbose);
    portable::BootReport report = portable::Boot(TheFiles(), &printer);
    if (!report.failure.empty()) {
        printer.Flush();
        throw CliError(report.failure);
    }
    if (!report.resumed && !report.hadWininit)
        printer.Add("no WININIT.INI");
    else
        printer.Add(Summary(report.counts));
    if (!pending.empty())
        printer.Add("pending " + pending + " done");
    printer.Flush();
    if (report.counts.failed > 0)
        throw CliError(Grouped(report.counts.failed) + " line(s) of WININIT.INI failed");
    return 0;
}

} // namespace

const Verb kBootVerb{"boot", "restart: process WININIT.INI as Windows 95 does", kUsage, Run};

} // namespace zepmachine
