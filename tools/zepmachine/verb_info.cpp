// zepmachine info: what the machine is made of.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/portable/sqlite_db.h"

#include <cstdio>

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
    for (const auto& d : machine.Drives())
        std::printf("  %c:  %-9s %s\n", d.letter, TypeName(d.type),
                    d.HasMedium() ? d.host.c_str() : "(no medium)");
    std::printf("\nfolders:\n");
    std::printf("  windows  %s\n", machine.Setting("windows_dir").c_str());
    std::printf("  system   %s\n", machine.Setting("system_dir").c_str());
    std::printf("  temp     %s\n", machine.Setting("temp_dir").c_str());
    std::printf("\ndisplay:\n");
    auto& stmt = machine.store().Prepare(
        "SELECT key, value FROM settings WHERE key LIKE 'display.%' ORDER BY key");
    bool any = false;
    while (stmt.Step()) {
        any = true;
        std::printf("  %-8s %s\n", stmt.Text(0).substr(8).c_str(), stmt.Text(1).c_str());
    }
    if (!any)
        std::printf("  (defaults)\n");
    return 0;
}

} // namespace

const Verb kInfoVerb{"info", "show drives, folders and display of the machine", kUsage, Run};

} // namespace zepmachine
