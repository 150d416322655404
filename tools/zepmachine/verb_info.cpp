// zepmachine info: what the machine is made of.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/portable/windows/display.h"

#include <cstdio>
#include <string>

namespace zepmachine {

extern const Verb kInfoVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine info\n"
    "\n"
    "Prints the machine's folder, its drives with their types and host folders, the\n"
    "Windows, system and temporary folders, and the display settings.\n";

const char* TypeName(UINT type) {
    switch (type) {
    case DRIVE_REMOVABLE:
        return "removable";
    case DRIVE_FIXED:
        return "fixed";
    case DRIVE_CDROM:
        return "cd-rom";
    case DRIVE_REMOTE:
        return "remote";
    case DRIVE_RAMDISK:
        return "ramdisk";
    default:
        return "unknown";
    }
}

int Run(std::span<const std::string> args) {
    ExpectArgs(args, 0, 0, "zepmachine info");
    portable::Machine& machine = TheMachine();
    std::printf("machine: %s\n\ndrives:\n", machine.root().c_str());
    for (const auto& d : machine.Drives()) {
        std::string where = !d.problem.empty() ? "refused: " + d.problem
                            : !d.HasMedium()   ? "(no medium)"
                            : d.runOnly        ? d.host.string() + " (this command only)"
                                               : d.host.string();
        std::printf("  %c:  %-9s %s\n", d.letter, TypeName(d.type), where.c_str());
    }
    std::printf("\nfolders:\n");
    std::printf("  windows  %s\n", machine.Setting("windows_dir").c_str());
    std::printf("  system   %s\n", machine.Setting("system_dir").c_str());
    std::printf("  temp     %s\n", machine.Setting("temp_dir").c_str());
    std::printf("\ndisplay:\n");
    PrintDisplay(portable::ReadDisplay(machine), "  ");
    return 0;
}

} // namespace

const Verb kInfoVerb{"info", "show drives, folders and display of the machine", kUsage, Run};

} // namespace zepmachine
