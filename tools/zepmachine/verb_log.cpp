// zepmachine log: the machine's journal.
#include "cli.h"

#include "platform/portable/machine.h"

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

int Run(std::span<const std::string> args) {
    std::int64_t since = 0;
    if (args.size() == 2 && args[0] == "--since") {
        try {
            since = std::stoll(args[1]);
        } catch (const std::exception&) {
            throw CliError("--since takes an entry number, not '" + args[1] + "'", 2);
        }
    } else {
        ExpectArgs(args, 0, 0, "zepmachine log [--since ID]");
    }
    for (const auto& e : TheMachine().ReadJournal(since))
        std::printf("%lld %s %lld %s\n", static_cast<long long>(e.id), e.time.c_str(),
                    static_cast<long long>(e.pid), e.text.c_str());
    return 0;
}

} // namespace

const Verb kLogVerb{"log", "print the machine's journal of changes", kUsage, Run};

} // namespace zepmachine
