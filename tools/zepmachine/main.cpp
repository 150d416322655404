// zepmachine: creates, inspects and operates portable machines.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* kGeneralHelp =
    "usage: zepmachine [--machine DIR] [--cd-rom LETTER=DIR] VERB [ARGS]\n"
    "\n"
    "Creates and operates portable machines: folders that play a Windows 95 computer.\n"
    "The machine is DIR, else $ZEPSETUP_MACHINE, else the machine whose folder holds this\n"
    "zepmachine, else the default $XDG_DATA_HOME/zepsetup/machine\n"
    "(~/.local/share/zepsetup/machine), made on first use. Any other machine is made with\n"
    "'zepmachine init DIR'; a machine folder that cannot be written is read-only.\n"
    "--cd-rom LETTER=DIR plays the host folder DIR as the read-only CD-ROM drive LETTER:\n"
    "for this command only (nothing is stored; a program's registry editor gets it too).\n"
    "\n"
    "verbs:\n";

void PrintHelp() {
    std::fputs(kGeneralHelp, stdout);
    for (const auto& verb : zepmachine::Verbs())
        std::printf("  %-10s %.*s\n", std::string(verb.name).c_str(),
                    static_cast<int>(verb.summary.size()), verb.summary.data());
    std::puts("\nRun 'zepmachine VERB --help' for a verb's arguments.");
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t at = 0;
    while (at < args.size() && args[at].starts_with("-")) {
        if (args[at] == "-h" || args[at] == "--help") {
            PrintHelp();
            return 0;
        }
        if (args[at] == "--machine" && at + 1 < args.size()) {
            portable::ChooseMachineFolder(args[at + 1]);
            at += 2;
            continue;
        }
        if (args[at] == "--cd-rom" && at + 1 < args.size()) {
            try {
                zepmachine::NameRunDrive(args[at + 1]);
            } catch (const zepmachine::CliError& e) {
                std::fprintf(stderr, "zepmachine: %s\n", e.what());
                return e.status();
            }
            at += 2;
            continue;
        }
        if (args[at].starts_with("--machine=")) {
            portable::ChooseMachineFolder(args[at].substr(10));
            ++at;
            continue;
        }
        std::fprintf(stderr, "zepmachine: unknown option %s (see zepmachine --help)\n",
                     args[at].c_str());
        return 2;
    }
    if (at == args.size()) {
        PrintHelp();
        return 2;
    }
    std::string name = args[at];
    for (const auto& verb : zepmachine::Verbs()) {
        if (verb.name != name)
            continue;
        std::span<const std::string> rest(args.data() + at + 1, args.size() - at - 1);
        if (zepmachine::WantsHelp(rest)) {
            try {
                zepmachine::WriteStdout(verb.usage);
            } catch (const zepmachine::CliError& e) {
                std::fprintf(stderr, "zepmachine %s: %s\n", name.c_str(), e.what());
                return e.status();
            }
            return 0;
        }
        try {
            int status = verb.run(rest);
            // Whatever a verb printed must have arrived (a full disk, a closed pipe).
            zepmachine::WriteStdout("");
            return status;
        } catch (const zepmachine::CliError& e) {
            std::fprintf(stderr, "zepmachine %s: %s\n", name.c_str(), e.what());
            return e.status();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "zepmachine %s: %s\n", name.c_str(), e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "zepmachine: unknown verb '%s' (see zepmachine --help)\n", name.c_str());
    return 2;
}
