// zepmachine log: the machine's journal.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/quoted_input.h"

#include <cstdio>

namespace zepmachine {

extern const Verb kLogVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine log [--since ID]\n"
    "\n"
    "Prints the machine's journal: every change made to the machine (files, folders,\n"
    "registry, windows, broadcasts, processes, restarts), one line each as\n"
    "ID TIME PID ENTRY. --since ID prints only the entries after ID.\n";

// A whole number of digits only ("1e3", "12abc", "-1" and "" are none).
std::int64_t EntryNumber(const std::string& text) {
    bool digits = !text.empty() && text.size() <= 18 &&
                  text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits)
        throw CliError(
            "--since takes an entry number (digits), not '" + win::QuotedInput(text) + "'", 2);
    return std::stoll(text);
}

int Run(std::span<const std::string> args) {
    std::int64_t since = 0;
    if (args.size() == 2 && args[0] == "--since")
        since = EntryNumber(args[1]);
    else
        ExpectArgs(args, 0, 0, "zepmachine log [--since ID]");
    std::string out;
    for (const auto& e : TheMachine().ReadJournal(since)) {
        // Entries quote names and lines from scripts and machines: no control byte passes.
        out += std::to_string(e.id) + " " + e.time + " " + std::to_string(e.pid) + " " +
               win::QuotedInput(e.text, 0) + "\n";
        if (out.size() >= 1 << 16) {
            WriteStdout(out);
            out.clear();
        }
    }
    WriteStdout(out);
    return 0;
}

} // namespace

const Verb kLogVerb{"log", "print the machine's journal of changes", kUsage, Run};

} // namespace zepmachine
