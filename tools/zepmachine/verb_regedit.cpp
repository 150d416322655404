// zepmachine regedit [/s] FILE...: the machine's registry editor (what `regedit` started by
// a program of the machine runs).
#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_import.h"
#include "platform/quoted_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zepmachine {

extern const Verb kRegeditVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine regedit [--current-folder WINPATH] [/s] FILE...\n"
    "\n"
    "Imports REGEDIT4 registry scripts into the machine's registry, each as one change: a\n"
    "script applies whole or not at all. Lines the editor cannot take are skipped and\n"
    "reported on stderr as FILE:LINE: reason (and in the journal); a file that does not\n"
    "start with REGEDIT4 is refused. FILE is a path on the machine when it starts with a\n"
    "drive letter (C:\\WINDOWS\\TEMP\\Zepanu.reg), a host path otherwise.\n"
    "  /s                         silent: print nothing but problems (otherwise a summary\n"
    "                             per file)\n"
    "  --current-folder WINPATH   every FILE is a path on the machine, relative ones taken\n"
    "                             from the machine's folder WINPATH (how `regedit` started\n"
    "                             by a program of the machine runs: it names no host file)\n"
    "Exit status 1 when a file could not be read or was refused, else 0.\n";

bool HasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// Reads all of fd; false with errno on failure.
bool ReadAll(int fd, std::string& out) {
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        out.append(buffer, static_cast<size_t>(n));
    }
}

// The file's bytes, or why they cannot be had.
std::string ReadMachineFile(const std::string& path, std::string& out) {
    portable::FileSystem& files = TheFiles();
    std::string ansi = win::ToAnsi(path);
    portable::DirEntry entry;
    if (files.Stat(ansi, entry) == ERROR_SUCCESS && entry.IsDirectory())
        return "it is a folder, not a file";
    portable::UniqueFd fd;
    if (DWORD rc = files.Open(ansi, portable::OpenMode::Read, fd); rc != ERROR_SUCCESS)
        return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND
                   ? "no such file on the machine"
                   : "error " + std::to_string(rc);
    return ReadAll(fd.get(), out) ? "" : std::strerror(errno);
}

std::string ReadHostFile(const std::string& path, std::string& out) {
    portable::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return std::strerror(errno);
    struct stat st;
    if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode))
        return "it is a folder, not a file";
    return ReadAll(fd.get(), out) ? "" : std::strerror(errno);
}

struct Options {
    bool silent = false;
    bool machinePathsOnly = false; // started by a program of the machine
    std::vector<std::string> files;
};

// Imports one file; false when it could not be read or was refused.
bool ImportOne(const std::string& path, const Options& options) {
    portable::Machine& machine = TheMachine();
    std::string shown = win::QuotedInput(path, 0);
    std::string script;
    bool onMachine = options.machinePathsOnly || HasDriveLetter(path);
    std::string why = onMachine ? ReadMachineFile(path, script) : ReadHostFile(path, script);
    if (!why.empty()) {
        std::fprintf(stderr, "zepmachine regedit: cannot read %s: %s\n", shown.c_str(),
                     why.c_str());
        machine.Journal("regedit " + shown + ": cannot read the file (" + why +
                        "), nothing imported");
        return false;
    }
    auto report = portable::ImportRegistryScript(machine, script, shown);
    for (const auto& problem : report.problems)
        std::fprintf(stderr, "%s\n", problem.c_str());
    if (report.accepted && !options.silent)
        std::printf("%s: %lld keys created, %lld values set, %lld keys deleted, %lld values "
                    "deleted\n",
                    shown.c_str(), static_cast<long long>(report.keysCreated),
                    static_cast<long long>(report.valuesSet),
                    static_cast<long long>(report.keysDeleted),
                    static_cast<long long>(report.valuesDeleted));
    return report.accepted;
}

Options Parse(std::span<const std::string> args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "/s" || a == "/S") {
            options.silent = true;
        } else if (a == "--current-folder" && i + 1 < args.size()) {
            options.machinePathsOnly = true;
            std::string folder = win::ToAnsi(args[++i]);
            if (TheFiles().SetCurrentDirectory(folder) != ERROR_SUCCESS)
                throw CliError("--current-folder " + win::QuotedInput(args[i], 0) +
                               ": no such folder on the machine");
        } else {
            options.files.push_back(a);
        }
    }
    ExpectArgs(options.files, 1, options.files.size() + 1,
               "zepmachine regedit [--current-folder WINPATH] [/s] FILE...");
    return options;
}

int Run(std::span<const std::string> args) {
    Options options = Parse(args);
    bool ok = true;
    for (const auto& file : options.files)
        ok = ImportOne(file, options) && ok;
    WriteStdout("");
    return ok ? 0 : 1;
}

} // namespace

const Verb kRegeditVerb{"regedit", "import registry scripts (REGEDIT4)", kUsage, Run};

} // namespace zepmachine
