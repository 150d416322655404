// Shared pieces of the zepmachine verbs: argument access, the machine to act on, errors.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace portable {
class FileSystem;
class Machine;
struct Display;
} // namespace portable

namespace zepmachine {

// A failure the user can act on: printed as "zepmachine VERB: MESSAGE", exit status 1.
// Usage errors exit with 2.
class CliError : public std::runtime_error {
public:
    CliError(const std::string& message, int status = 1)
        : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

struct Verb {
    std::string_view name;
    std::string_view summary;
    std::string_view usage; // full help text
    int (*run)(std::span<const std::string> args);
};

// All verbs, in the order --help lists them.
std::span<const Verb> Verbs();

// True when args hold -h or --help before any "--".
bool WantsHelp(std::span<const std::string> args);

// The machine selected by --machine (already applied) or by the usual rules; opened (and
// the default one created) on first use, with the drives named by --cd-rom.
portable::Machine& TheMachine();

// The file system of TheMachine().
portable::FileSystem& TheFiles();

// --cd-rom LETTER=DIR: the host folder DIR is the read-only CD-ROM drive LETTER for this
// command only (nothing is stored). Throws a usage error for a malformed argument.
void NameRunDrive(std::string_view argument);

// Screen, colours and taskbar, one line each, every line starting with indent.
void PrintDisplay(const portable::Display& display, std::string_view indent);

// Throws CliError with the reason when the machine can take no change (read-only, or the
// drive that holds Windows refused): a program started there would fail at its first one.
void RefuseUnchangeable(portable::Machine& machine);

// Starts the machine's program (a Windows path) with the argument text and waits for it;
// its exit status. Throws CliError when there is no such program file, or as
// RefuseUnchangeable does.
int RunMachineProgram(const std::string& program, const std::string& arguments);

// Arguments of a verb without options: throws a usage error unless there are count.
void ExpectArgs(std::span<const std::string> args, size_t min, size_t max, std::string_view usage);

// A JSON string of UTF-8 text: quotes, backslashes and control characters escaped, a byte
// that is not UTF-8 as U+FFFD (machines hold any bytes; the document stays valid).
std::string JsonString(std::string_view utf8);

// A run's number (decimal digits, 1 or more); throws a usage error naming text otherwise.
std::int64_t RunNumber(const std::string& text);

// A count with thousands separators: 1,234,567.
std::string Grouped(std::uint64_t n);

// Writes text to stdout and flushes it; a failed write (a full disk, a closed pipe) throws
// a CliError with the given status.
void WriteStdout(std::string_view text, int status = 1);

} // namespace zepmachine
