// zepmachine boot: restarts the machine.
#include "cli.h"

#include "platform/portable/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/restart.h"

#include <cstdio>

namespace zepmachine {

extern const Verb kBootVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine boot\n"
    "\n"
    "Restarts the machine as Windows 95 starts: the [rename] section of WININIT.INI in\n"
    "the Windows folder is processed line by line (NUL=PATH deletes the file, DEST=SRC\n"
    "renames SRC to DEST; entries whose files are missing are skipped), then WININIT.INI\n"
    "becomes WININIT.BAK. A restart a program asked for (ExitWindowsEx) is then done.\n";

int Run(std::span<const std::string> args) {
    ExpectArgs(args, 0, 0, "zepmachine boot");
    portable::Machine& machine = TheMachine();
    std::string pending = portable::PendingRestart(machine);
    if (!pending.empty())
        std::printf("pending %s done\n", pending.c_str());
    portable::BootReport report = portable::Boot(portable::CurrentFileSystem());
    if (!report.hadWininit) {
        std::printf("no WININIT.INI\n");
        return 0;
    }
    for (const auto& action : report.actions)
        std::printf("%s\n", action.c_str());
    std::printf("WININIT.INI -> WININIT.BAK\n");
    return 0;
}

} // namespace

const Verb kBootVerb{"boot", "restart: process WININIT.INI as Windows 95 does", kUsage, Run};

} // namespace zepmachine
