#include "cli.h"

#include "platform/portable/machine.h"

namespace zepmachine {

bool WantsHelp(std::span<const std::string> args) {
    for (const auto& a : args) {
        if (a == "-h" || a == "--help")
            return true;
    }
    return false;
}

portable::Machine& TheMachine() {
    return portable::CurrentMachine();
}

void ExpectArgs(std::span<const std::string> args, size_t min, size_t max, std::string_view usage) {
    for (const auto& a : args) {
        if (a.size() > 1 && a[0] == '-')
            throw CliError("unknown option " + a + "\nusage: " + std::string(usage), 2);
    }
    if (args.size() < min || args.size() > max)
        throw CliError("wrong number of arguments\nusage: " + std::string(usage), 2);
}

} // namespace zepmachine
