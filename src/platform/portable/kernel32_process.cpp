// kernel32 processes on the portable machine. The only program a machine can start is its
// registry editor: `regedit ARGS` runs `zepmachine --machine ROOT [--cd-rom D=HOST]
// regedit --current-folder DIR ARGS` with ZEPSETUP_MACHINE=ROOT, so the child works on the
// same machine, with the same drives (the distribution D: of this run included), and takes
// every file argument as a path of the machine, relative ones from the caller's current
// folder DIR (never as a host path). The command line is split
// as Windows programs split theirs (blanks separate, double quotes group). Each start is
// journalled. Left out: every other program, environments, start-up information, threads.
#include "platform/kernel32.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/handles.h"
#include "platform/portable/machine.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace win {
namespace {
namespace fs = std::filesystem;

struct ProcessObject : portable::KernelObject {
    pid_t pid = -1;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;

    // Collects the exit status once the child has ended; true when it has.
    bool Poll(bool block) {
        if (ended)
            return true;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid, &status, block ? 0 : WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == 0)
            return false;
        ended = true;
        if (r < 0)
            exitCode = 1;
        else if (WIFEXITED(status))
            exitCode = static_cast<DWORD>(WEXITSTATUS(status));
        else
            exitCode = 0xC0000000u | static_cast<DWORD>(WTERMSIG(status)); // killed
        return true;
    }

    ~ProcessObject() override { Poll(false); } // reaps a child that has already ended
};

// Windows does not hand out a process without its main thread; this stands in for it.
struct ThreadObject : portable::KernelObject {};

BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

// The command line split into arguments by the Windows rules for unquoted blanks and
// quoted groups ("" inside quotes is one quote).
std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            return args;
        std::string arg;
        bool quoted = false;
        for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            if (line[i] != '"') {
                arg += line[i];
            } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                arg += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        }
        args.push_back(std::move(arg));
    }
}

bool IsRegistryEditor(std::string_view program) {
    size_t slash = program.find_last_of("\\/:");
    if (slash != std::string_view::npos)
        program.remove_prefix(slash + 1);
    return AnsiEqualsNoCase(program, "regedit") || AnsiEqualsNoCase(program, "regedit.exe");
}

bool IsExecutable(const fs::path& p) {
    return ::access(p.c_str(), X_OK) == 0;
}

// $ZEPMACHINE, else beside the running executable, else in the build tree's tool folder
// (for programs run from the build tree or its distribution folder), else on $PATH.
fs::path FindEditor() {
    if (const char* env = std::getenv("ZEPMACHINE"); env && *env)
        return env;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path dir = exe.parent_path();
        for (const fs::path& candidate :
             {dir / "zepmachine", dir / "../../tools/zepmachine/zepmachine",
              dir / "../tools/zepmachine/zepmachine"}) {
            if (IsExecutable(candidate))
                return candidate.lexically_normal();
        }
    }
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest = path;
        while (!rest.empty()) {
            size_t colon = rest.find(':');
            fs::path candidate = fs::path(rest.substr(0, colon)) / "zepmachine";
            if (IsExecutable(candidate))
                return candidate;
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    return {};
}

std::vector<std::string> ChildEnvironment(const std::string& machineRoot) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        if (!std::string_view(*e).starts_with("ZEPSETUP_MACHINE="))
            env.emplace_back(*e);
    }
    env.push_back("ZEPSETUP_MACHINE=" + machineRoot);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, void*, void*, BOOL, DWORD, LPVOID,
                    LPCSTR currentDirectory, LPSTARTUPINFOA, LPPROCESS_INFORMATION info) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!info || currentDirectory)
            return Fail(ERROR_INVALID_PARAMETER);
        std::string line = commandLine ? commandLine : (applicationName ? applicationName : "");
        std::vector<std::string> words = SplitCommandLine(line);
        if (words.empty() || !IsRegistryEditor(words[0]))
            return Fail(ERROR_FILE_NOT_FOUND);
        fs::path editor = FindEditor();
        if (editor.empty())
            return Fail(ERROR_FILE_NOT_FOUND);

        portable::Machine& machine = portable::CurrentMachine();
        std::string root = machine.root().string();
        // The program's arguments are paths of the machine, relative ones from its current
        // folder: the editor must not take them as host paths.
        std::string folder = FromAnsi(portable::CurrentFileSystem().CurrentDirectory());
        std::vector<std::string> args = {editor.string(), "--machine", root};
        for (const auto& drive : machine.Drives()) {
            if (drive.runOnly) // the folder the person named for this run is the child's too
                args.insert(args.end(),
                            {"--cd-rom", std::string(1, drive.letter) + "=" + drive.host.string()});
        }
        args.insert(args.end(), {"regedit", "--current-folder", folder});
        for (size_t i = 1; i < words.size(); ++i)
            args.push_back(FromAnsi(words[i]));
        std::vector<std::string> env = ChildEnvironment(root);
        auto argv = Pointers(args);
        auto envp = Pointers(env);
        pid_t pid = -1;
        int rc = ::posix_spawn(&pid, editor.c_str(), nullptr, nullptr, argv.data(), envp.data());
        if (rc != 0)
            return Fail(rc == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        machine.Journal("process " + std::to_string(pid) + " started: " + FromAnsi(line));

        auto process = std::make_unique<ProcessObject>();
        process->pid = pid;
        info->hProcess = portable::AddHandle(std::move(process));
        info->hThread = portable::AddHandle(std::make_unique<ThreadObject>());
        info->dwProcessId = static_cast<DWORD>(pid);
        info->dwThreadId = static_cast<DWORD>(pid);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    });
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    return portable::Guarded<DWORD>(WAIT_FAILED, [&]() -> DWORD {
        auto* process = portable::HandleAs<ProcessObject>(object);
        if (!process) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        portable::LetGoOfStore();
        if (milliseconds == INFINITE)
            return process->Poll(true) ? WAIT_OBJECT_0 : WAIT_FAILED;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!process->Poll(false)) {
            if (std::chrono::steady_clock::now() >= deadline)
                return WAIT_TIMEOUT;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return WAIT_OBJECT_0;
    });
}

BOOL GetExitCodeProcess(HANDLE handle, LPDWORD exitCode) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        auto* process = portable::HandleAs<ProcessObject>(handle);
        if (!process || !exitCode)
            return Fail(ERROR_INVALID_HANDLE);
        process->Poll(false);
        *exitCode = process->exitCode;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    });
}

} // namespace win
