// zepmachine regedit [/s] FILE...: the machine's registry editor (what `regedit` started by
// a program of the machine runs).
#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/regedit_import.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zepmachine {

extern const Verb kRegeditVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine regedit [/s] FILE...\n"
    "\n"
    "Imports REGEDIT4 registry scripts into the machine's registry, each as one change: a\n"
    "script applies whole or not at all. Lines the editor cannot take are skipped and\n"
    "reported on stderr as FILE:LINE: reason (and in the journal); a file that does not\n"
    "start with REGEDIT4 is refused. FILE is a path on the machine when it starts with a\n"
    "drive letter (C:\\WINDOWS\\TEMP\\Zepanu.reg), a host path otherwise.\n"
    "  /s   silent: print nothing but problems (otherwise a summary per file)\n"
    "Exit status 1 when a file could not be read or was refused, else 0.\n";

bool IsMachinePath(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool ReadMachineFile(const std::string& path, std::string& out) {
    portable::UniqueFd fd;
    if (portable::CurrentFileSystem().Open(win::ToAnsi(path), portable::OpenMode::Read, fd) !=
        ERROR_SUCCESS)
        return false;
    char buffer[1 << 16];
    ssize_t n;
    while ((n = ::read(fd.get(), buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    return n == 0;
}

bool ReadHostFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

// Imports one file; false when it could not be read or was refused.
bool ImportOne(const std::string& path, bool silent) {
    portable::Machine& machine = TheMachine();
    std::string script;
    bool read = IsMachinePath(path) ? ReadMachineFile(path, script) : ReadHostFile(path, script);
    if (!read) {
        std::fprintf(stderr, "zepmachine regedit: cannot read %s\n", path.c_str());
        machine.Journal("regedit " + path + ": cannot read the file, nothing imported");
        return false;
    }
    auto report = portable::ImportRegistryScript(machine, script, path);
    for (const auto& problem : report.problems)
        std::fprintf(stderr, "%s\n", problem.c_str());
    if (report.accepted && !silent)
        std::printf("%s: %lld keys created, %lld values set, %lld keys deleted, %lld values "
                    "deleted\n",
                    path.c_str(), static_cast<long long>(report.keysCreated),
                    static_cast<long long>(report.valuesSet),
                    static_cast<long long>(report.keysDeleted),
                    static_cast<long long>(report.valuesDeleted));
    return report.accepted;
}

int Run(std::span<const std::string> args) {
    bool silent = false;
    std::vector<std::string> files;
    for (const auto& a : args) {
        if (a == "/s" || a == "/S")
            silent = true;
        else
            files.push_back(a);
    }
    ExpectArgs(files, 1, files.size() + 1, "zepmachine regedit [/s] FILE...");
    bool ok = true;
    for (const auto& file : files)
        ok = ImportOne(file, silent) && ok;
    return ok ? 0 : 1;
}

} // namespace

const Verb kRegeditVerb{"regedit", "import registry scripts (REGEDIT4)", kUsage, Run};

} // namespace zepmachine
