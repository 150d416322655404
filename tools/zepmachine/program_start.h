// Starting a program in a run of the machine: `zepmachine run`, `uninstall` and `try`. The
// verb begins the run itself, so that the run is known before the program makes its first
// change and ends with how the program ended, even when it was killed.
#pragma once

#include "platform/portable/files/file_system.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zepmachine {

struct Program {
    portable::UniqueFd fd;         // a machine's program file: it runs from this descriptor
    std::string path;              // else a host program, found through PATH as execvp does
    std::vector<std::string> argv; // argv[0] is the name it runs under
    std::string name;              // what the run calls the program
    std::string commandLine;       // the run's command line
};

// The machine's program winPath with the argument text, checked and opened; sets the
// environment a Windows program learns from. Throws CliError when there is no such program
// file, or as RefuseUnchangeable does.
Program MachineProgram(const std::string& winPath, const std::string& arguments);

// A host program with its arguments.
Program HostProgram(std::span<const std::string> argv);

// How a program ended, from its wait status.
struct Ending {
    int status = 0;
    // The exit status, or 128 + the signal that ended it (as a shell gives it).
    int ExitStatus() const;
    // The run's outcome: finished, killed (SIGKILL, SIGTERM, SIGINT, SIGHUP) or crashed.
    std::string_view Outcome() const;
};

// Begins this process's run for program (or joins the run $ZEPSETUP_RUN names), starts the
// program with the machine, the run and this zepmachine in its environment, waits for it
// and ends the run with how the program ended. run gets the run's id. Throws CliError when
// the program cannot be started.
Ending StartInRun(Program& program, std::int64_t& run);

// Arguments joined by blanks.
std::string Joined(std::span<const std::string> args);

} // namespace zepmachine
