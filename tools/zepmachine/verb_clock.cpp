// zepmachine clock: the clock programs of the machine sleep on.
#include "cli.h"

#include "platform/portable/clock.h"
#include "platform/portable/machine.h"

#include <cstdio>

namespace zepmachine {

extern const Verb kClockVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine clock [real|virtual]\n"
    "\n"
    "Prints (after setting it) the clock the machine's programs sleep on: real sleeps\n"
    "really wait; a virtual clock only adds up the time asked for, so that paced runs\n"
    "finish at once.\n";

int Run(std::span<const std::string> args) {
    ExpectArgs(args, 0, 1, "zepmachine clock [real|virtual]");
    portable::Machine& machine = TheMachine();
    if (!args.empty()) {
        if (args[0] != "real" && args[0] != "virtual")
            throw CliError("the clock is real or virtual, not '" + args[0] + "'", 2);
        portable::SetMachineClock(machine, args[0] == "virtual" ? portable::ClockKind::Virtual
                                                                : portable::ClockKind::Real);
    }
    bool isVirtual = portable::MachineClock(machine) == portable::ClockKind::Virtual;
    std::printf("%s\n", isVirtual ? "virtual" : "real");
    return 0;
}

} // namespace

const Verb kClockVerb{"clock", "show or choose the real or a virtual clock", kUsage, Run};

} // namespace zepmachine
