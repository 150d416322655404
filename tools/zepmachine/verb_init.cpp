// zepmachine init DIR: a fresh machine.
#include "cli.h"

#include "platform/portable/machine.h"

#include <cstdio>

namespace zepmachine {

extern const Verb kInitVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine init DIR\n"
    "\n"
    "Creates a fresh machine in DIR (created if missing, must not hold a machine yet):\n"
    "drive C: with a German Windows 95 (C:\\WINDOWS, C:\\WINDOWS\\SYSTEM, C:\\WINDOWS\\TEMP,\n"
    "C:\\Programme, start menu, desktop, SYSTEM.INI, WIN.INI) and drive A: without a medium.\n";

int Run(std::span<const std::string> args) {
    ExpectArgs(args, 1, 1, "zepmachine init DIR");
    auto machine = portable::Machine::Create(args[0]);
    std::printf("created machine %s\n", machine->root().c_str());
    return 0;
}

} // namespace

const Verb kInitVerb{"init", "create a fresh machine in a folder", kUsage, Run};

} // namespace zepmachine
