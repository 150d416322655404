#include "program_start.h"

#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/runs/run_log.h"
#include "platform/portable/store/sqlite_db.h"
#include "platform/quoted_input.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zepmachine {

namespace {

// Why exec refused a program, in the words a person at the host understands.
std::string ExecRefusal(int error, bool host) {
    switch (error) {
    case ETXTBSY:
        return "cannot be started: another process has it open for writing";
    case ENOEXEC:
        return "cannot be started: not a program this host can run";
    case ENOENT:
        return host ? "no such program" : "cannot be started: its interpreter is missing";
    default:
        return std::string("cannot be started: ") + std::strerror(error);
    }
}

// An environment variable set for as long as this object lives, then as it was.
class Environment {
public:
    Environment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~Environment() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// While the program runs, a Ctrl-C or Ctrl-\ at the terminal is the program's to answer:
// this process lives on to record how the run ended (as system(3) does).
class IgnoredInterrupts {
public:
    IgnoredInterrupts() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGINT, &ignore, &int_);
        ::sigaction(SIGQUIT, &ignore, &quit_);
    }
    ~IgnoredInterrupts() { Restore(); }
    IgnoredInterrupts(const IgnoredInterrupts&) = delete;
    IgnoredInterrupts& operator=(const IgnoredInterrupts&) = delete;
    // In the child: an ignored signal would stay ignored across exec.
    void Restore() {
        ::sigaction(SIGINT, &int_, nullptr);
        ::sigaction(SIGQUIT, &quit_, nullptr);
    }

private:
    struct sigaction int_ {};
    struct sigaction quit_ {};
};

[[noreturn]] void Exec(const Program& program, int report) {
    std::vector<char*> argv;
    for (const auto& a : program.argv)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (program.fd.valid()) {
        // A script's interpreter reads it through /proc/self/fd: it must survive the exec.
        ::fcntl(program.fd.get(), F_SETFD, 0);
        ::fexecve(program.fd.get(), argv.data(), environ);
    } else {
        ::execvp(program.path.c_str(), argv.data());
    }
    int error = errno;
    [[maybe_unused]] ssize_t sent = ::write(report, &error, sizeof error);
    ::_exit(127);
}

// Runs the program and waits for it. A machine's program runs from the descriptor it was
// checked through, so that what runs is what was checked, whatever happens to its name
// meanwhile. An exec that fails is reported back through a pipe that the exec closes, so
// that a refusal is never mistaken for the program's own exit status.
Ending Start(const Program& program) {
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        throw CliError("cannot start a process");
    portable::UniqueFd reading(report[0]), writing(report[1]);
    std::fflush(nullptr);
    IgnoredInterrupts interrupts;
    pid_t child = ::fork();
    if (child < 0)
        throw CliError("cannot start a process");
    if (child == 0) {
        interrupts.Restore();
        Exec(program, writing.get());
    }
    writing = portable::UniqueFd();
    int error = 0;
    ssize_t got;
    while ((got = ::read(reading.get(), &error, sizeof error)) < 0 && errno == EINTR) {
    }
    Ending ending;
    while (::waitpid(child, &ending.status, 0) < 0 && errno == EINTR) {
    }
    if (got == sizeof error)
        throw CliError(win::QuotedInput(program.argv[0], 0) + ": " +
                       ExecRefusal(error, !program.fd.valid()));
    return ending;
}

// This zepmachine, for the started program's registry editor.
std::string Self() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

// A command line's word: in double quotes when it is empty or holds a blank.
std::string Word(const std::string& text) {
    return text.empty() || text.find_first_of(" \t") != std::string::npos ? '"' + text + '"' : text;
}

} // namespace

std::string Joined(std::span<const std::string> args) {
    std::string text;
    for (const auto& a : args)
        text += (text.empty() ? "" : " ") + a;
    return text;
}

int Ending::ExitStatus() const {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

std::string_view Ending::Outcome() const {
    if (!WIFSIGNALED(status))
        return portable::kRunFinished;
    switch (WTERMSIG(status)) {
    case SIGKILL:
    case SIGTERM:
    case SIGINT:
    case SIGHUP:
        return portable::kRunKilled;
    default:
        return portable::kRunCrashed;
    }
}

Program MachineProgram(const std::string& winPath, const std::string& arguments) {
    portable::Machine& machine = TheMachine();
    RefuseUnchangeable(machine);
    portable::FileSystem& files = TheFiles();
    std::string path = win::ToAnsi(winPath);
    portable::WinPath parsed;
    Program program;
    // The program may come from the machine's registry: quoted safely and cut.
    std::string shown = win::QuotedInput(winPath, 100);
    if (files.Parse(path, parsed) != ERROR_SUCCESS)
        throw CliError(shown + ": no program file on the machine");
    std::filesystem::path host;
    files.HostPath(path, host); // the name it runs under; it runs from fd
    if (DWORD rc = files.OpenProgram(path, program.fd); rc != ERROR_SUCCESS)
        throw CliError(shown + (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND
                                    ? ": no program file on the machine"
                                    : ": cannot be started (not a plain file, or it cannot be "
                                      "made executable)"));
    std::string module = win::FromAnsi(parsed.ToString());
    // A path with blanks stands in double quotes, as the shell of Windows starts it, so that
    // the program finds where its arguments begin.
    std::string named = module.find(' ') == std::string::npos ? module : '"' + module + '"';
    program.name = module;
    program.commandLine = arguments.empty() ? named : named + " " + arguments;
    program.argv = {host.empty() ? module : host.string()};
    machine.Journal("run " + program.commandLine);
    ::setenv("ZEPSETUP_MODULE", module.c_str(), 1);
    ::setenv("ZEPSETUP_COMMAND_LINE", program.commandLine.c_str(), 1);
    return program;
}

Program HostProgram(std::span<const std::string> argv) {
    Program program;
    program.path = argv[0];
    program.argv.assign(argv.begin(), argv.end());
    program.name = argv[0];
    for (const auto& a : argv)
        program.commandLine += (program.commandLine.empty() ? "" : " ") + Word(a);
    return program;
}

Ending StartInRun(Program& program, std::int64_t& run) {
    portable::Machine& machine = TheMachine();
    portable::RunLog& runs = machine.Runs();
    runs.Describe(program.name, program.commandLine);
    run = runs.Join();
    // A program that cannot be started leaves an empty run, ended as finished when this
    // process ends.
    Environment inRun("ZEPSETUP_RUN", std::to_string(run));
    ::setenv("ZEPSETUP_MACHINE", machine.root().c_str(), 1);
    if (std::string self = Self(); !self.empty())
        ::setenv("ZEPMACHINE", self.c_str(), 1);
    portable::LetGoOfStore();
    Ending ending = Start(program);
    runs.End(ending.Outcome());
    return ending;
}

int RunMachineProgram(const std::string& program, const std::string& arguments) {
    Program started = MachineProgram(program, arguments);
    std::int64_t run = 0;
    return StartInRun(started, run).ExitStatus();
}

} // namespace zepmachine
