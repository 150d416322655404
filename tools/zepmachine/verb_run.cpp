// zepmachine run: starts a program of the machine.
#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/quoted_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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
    "On a machine that can take no change (read-only, or the drive that holds Windows\n"
    "refused) nothing is started: exit status 1 and the reason.\n";

std::string Joined(std::span<const std::string> args) {
    std::string text;
    for (const auto& a : args)
        text += (text.empty() ? "" : " ") + a;
    return text;
}

// Why exec refused a program, in the words a person at the host understands.
std::string ExecRefusal(int error) {
    switch (error) {
    case ETXTBSY:
        return "cannot be started: another process has it open for writing";
    case ENOEXEC:
        return "cannot be started: not a program this host can run";
    case ENOENT:
        return "cannot be started: its interpreter is missing";
    default:
        return std::string("cannot be started: ") + std::strerror(error);
    }
}

// Runs the program from the descriptor it was checked through, so that what runs is what
// was checked, whatever happens to its name meanwhile. An exec that fails is reported back
// through a pipe that the exec closes, so that a refusal is never mistaken for the program's
// own exit status.
int Start(const portable::UniqueFd& program, const std::string& shown) {
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        throw CliError("cannot start a process");
    portable::UniqueFd reading(report[0]), writing(report[1]);
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child < 0)
        throw CliError("cannot start a process");
    if (child == 0) {
        // A script's interpreter reads it through /proc/self/fd: it must survive the exec.
        ::fcntl(program.get(), F_SETFD, 0);
        char* argv[] = {const_cast<char*>(shown.c_str()), nullptr};
        ::fexecve(program.get(), argv, environ);
        int error = errno;
        [[maybe_unused]] ssize_t sent = ::write(writing.get(), &error, sizeof error);
        ::_exit(127);
    }
    writing = portable::UniqueFd();
    int error = 0;
    ssize_t got;
    while ((got = ::read(reading.get(), &error, sizeof error)) < 0 && errno == EINTR) {
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (got == sizeof error)
        throw CliError(win::QuotedInput(shown, 0) + ": " + ExecRefusal(error));
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// This zepmachine, for the started program's registry editor.
std::string Self() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

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

int RunMachineProgram(const std::string& program, const std::string& arguments) {
    portable::Machine& machine = TheMachine();
    RefuseUnchangeable(machine);
    portable::FileSystem& files = TheFiles();
    std::string path = win::ToAnsi(program);
    portable::WinPath parsed;
    portable::UniqueFd fd;
    // The program may come from the machine's registry: quoted safely and cut.
    std::string shown = win::QuotedInput(program, 100);
    if (files.Parse(path, parsed) != ERROR_SUCCESS)
        throw CliError(shown + ": no program file on the machine");
    std::filesystem::path host;
    files.HostPath(path, host); // the name it runs under; it runs from fd
    if (DWORD rc = files.OpenProgram(path, fd); rc != ERROR_SUCCESS)
        throw CliError(shown + (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND
                                    ? ": no program file on the machine"
                                    : ": cannot be started (not a plain file, or it cannot be "
                                      "made executable)"));
    std::string module = win::FromAnsi(parsed.ToString());
    // A path with blanks stands in double quotes, as the shell of Windows starts it, so that
    // the program finds where its arguments begin.
    std::string named = module.find(' ') == std::string::npos ? module : '"' + module + '"';
    std::string commandLine = arguments.empty() ? named : named + " " + arguments;
    machine.Journal("run " + commandLine);
    ::setenv("ZEPSETUP_MACHINE", machine.root().c_str(), 1);
    ::setenv("ZEPSETUP_MODULE", module.c_str(), 1);
    ::setenv("ZEPSETUP_COMMAND_LINE", commandLine.c_str(), 1);
    if (std::string self = Self(); !self.empty())
        ::setenv("ZEPMACHINE", self.c_str(), 1);
    return Start(fd, host.empty() ? module : host.string());
}

const Verb kRunVerb{"run", "start a program of the machine with its argument text", kUsage, Run};

} // namespace zepmachine
