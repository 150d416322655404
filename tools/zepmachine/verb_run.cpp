// zepmachine run: starts a program of the machine.
#include "cli.h"
#include "program_start.h"

#include "platform/portable/machine.h"

namespace zepmachine {

extern const Verb kRunVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine run WINPATH [ARGS...]\n"
    "\n"
    "Starts the program WINPATH of the machine (a host executable stored in a machine\n"
    "drive, such as an installed zepsetup) and waits for it; its exit status is this\n"
    "command's. The program learns from its environment what Windows would tell it:\n"
    "  ZEPSETUP_MACHINE       this machine\n"
    "  ZEPSETUP_MODULE        WINPATH as a full path (GetModuleFileName; its folder is\n"
    "                         the application path)\n"
    "  ZEPSETUP_COMMAND_LINE  WINPATH (quoted when it holds a blank), a blank and ARGS\n"
    "                         joined by blanks\n"
    "                         (GetCommandLine; the argument text is ARGS)\n"
    "  ZEPMACHINE             this zepmachine, the machine's registry editor for\n"
    "                         `regedit /s` started by the program\n"
    "  ZEPSETUP_RUN           the run the program's changes belong to: this command\n"
    "                         begins it (or joins the run ZEPSETUP_RUN names) and ends it\n"
    "                         with how the program ended (see `zepmachine runs`)\n"
    "On a machine that can take no change (read-only, or the drive that holds Windows\n"
    "refused) nothing is started: exit status 1 and the reason.\n";

int Run(std::span<const std::string> args) {
    if (args.empty())
        throw CliError("expected the program's Windows path\n" + std::string(kUsage), 2);
    return RunMachineProgram(args[0], Joined(args.subspan(1)));
}

} // namespace

void RefuseUnchangeable(portable::Machine& machine) {
    if (std::string why = portable::WhyUnchangeable(machine); !why.empty())
        throw CliError(why + "; nothing was started");
}

const Verb kRunVerb{"run", "start a program of the machine with its argument text", kUsage, Run};

} // namespace zepmachine
