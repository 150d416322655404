// zepmachine boot: restarts the machine.
#include "cli.h"

#include "platform/portable/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/restart.h"
#include "platform/quoted_input.h"

#include <cstdio>

namespace zepmachine {

extern const Verb kBootVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine boot\n"
    "\n"
    "Restarts the machine as Windows 95 starts: the [rename] section of WININIT.INI in\n"
    "the Windows folder is processed line by line (NUL=PATH deletes the file, DEST=SRC\n"
    "renames SRC to DEST; entries whose files are missing are skipped). WININIT.INI\n"
    "becomes WININIT.BAK first, so that its lines run at most once; when it cannot, nothing\n"
    "runs. Each line that changes something is marked done in the same step, so that a\n"
    "boot cut off in the middle goes on with the next line of WININIT.BAK at the next boot\n"
    "and no line runs twice. A restart a program asked for (ExitWindowsEx) is then done.\n"
    "Exit status 1 when WININIT.INI could not be set aside or a line failed.\n";

int Run(std::span<const std::string> args) {
    ExpectArgs(args, 0, 0, "zepmachine boot");
    portable::Machine& machine = TheMachine();
    std::string pending = portable::PendingRestart(machine);
    portable::BootReport report = portable::Boot(TheFiles());
    if (!report.failure.empty())
        throw CliError(report.failure);
    std::string out = pending.empty() ? "" : "pending " + pending + " done\n";
    if (!report.resumed && !report.hadWininit) {
        WriteStdout(out + "no WININIT.INI\n");
        return 0;
    }
    auto actions = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            out += win::QuotedInput(report.actions[i], 0) + "\n";
    };
    if (report.resumed) {
        out += "an interrupted boot goes on with line " + std::to_string(report.resumedAt + 1) +
               " of WININIT.BAK\n";
        actions(0, report.resumedActions);
    }
    if (report.hadWininit) {
        out += "WININIT.INI -> WININIT.BAK\n";
        actions(report.resumedActions, report.actions.size());
    }
    WriteStdout(out);
    if (report.failedLines > 0)
        throw CliError(std::to_string(report.failedLines) + " line(s) of WININIT.INI failed");
    return 0;
}

} // namespace

const Verb kBootVerb{"boot", "restart: process WININIT.INI as Windows 95 does", kUsage, Run};

} // namespace zepmachine
