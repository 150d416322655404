// GetCommandLineA and GetModuleFileNameA on the portable machine. A program started by
// `zepmachine run` finds both in its environment: ZEPSETUP_MODULE (the Windows path of
// its file) and ZEPSETUP_COMMAND_LINE (that path, a blank and the argument text). Started
// from the host, its module is its executable seen from the machine: the file itself when
// it lies in a machine drive, else a file of the CD-ROM drive D:, the executable's folder
// (the distribution the setup is started from) played read-only for this run only and
// never stored; its arguments are joined by single blanks.
#include "platform/kernel32.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/machine.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace win {
namespace {

namespace fs = std::filesystem;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The Windows path (ANSI) of a host file inside one of the machine's drives.
std::optional<std::string> InsideDrive(portable::Machine& machine, const fs::path& host) {
    for (const auto& drive : machine.Drives()) {
        if (!drive.HasMedium() || !drive.problem.empty())
            continue;
        std::error_code ec;
        fs::path root = fs::weakly_canonical(drive.host, ec);
        if (ec)
            continue;
        fs::path rel = host.lexically_relative(root);
        if (rel.empty() || *rel.begin() == "..")
            continue;
        std::string path = std::string(1, drive.letter) + ":";
        for (const auto& part : rel)
            path += "\\" + ToAnsi(part.string());
        return path;
    }
    return std::nullopt;
}

std::string ModuleFromHost() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "C:\\ZEPSETUP.EXE";
    portable::Machine& machine = portable::CurrentMachine();
    if (auto inside = InsideDrive(machine, exe))
        return *inside;
    // The folder the person started the program from, for this run only: never stored.
    machine.MapRunOnlyDrive('D', exe.parent_path());
    return "D:\\" + ToAnsi(exe.filename().string());
}

// Worked out on every call from the host (cheap; the D: of this run belongs to the machine
// object, which tests replace), from the environment once per value.
const std::string& ModulePath() {
    static std::string path;
    std::string fromEnvironment = Environment("ZEPSETUP_MODULE");
    path = fromEnvironment.empty() ? ModuleFromHost() : ToAnsi(fromEnvironment);
    return path;
}

std::string ArgumentsFromHost() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string arguments;
    size_t start = all.find('\0'); // after argv[0]
    while (start != std::string::npos && start + 1 < all.size()) {
        size_t end = all.find('\0', start + 1);
        std::string arg = all.substr(start + 1, end - start - 1);
        arguments += (arguments.empty() ? "" : " ") + arg;
        start = end;
    }
    return ToAnsi(arguments);
}

std::string MakeCommandLine(const std::string& fromEnvironment) {
    if (!fromEnvironment.empty())
        return ToAnsi(fromEnvironment);
    std::string module = ModulePath();
    if (module.find(' ') != std::string::npos)
        module = "\"" + module + "\"";
    std::string arguments = ArgumentsFromHost();
    return arguments.empty() ? module : module + " " + arguments;
}

std::string& CommandLine() {
    static std::string line;
    static std::optional<std::string> madeFrom;
    std::string fromEnvironment = Environment("ZEPSETUP_COMMAND_LINE");
    if (madeFrom != fromEnvironment) {
        line = MakeCommandLine(fromEnvironment);
        madeFrom = fromEnvironment;
    }
    return line;
}

} // namespace

LPSTR GetCommandLineA() {
    static char none[] = "";
    return portable::Guarded<LPSTR>(none, [] { return CommandLine().data(); });
}

DWORD GetModuleFileNameA(void* module, LPSTR buffer, DWORD size) {
    return portable::Guarded<DWORD>(0, [&]() -> DWORD {
        if (module || !buffer || size == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        const std::string& path = ModulePath();
        // Win32: a short buffer gets the path cut to size - 1 characters and size comes back.
        size_t n = std::min<size_t>(path.size(), size - 1);
        std::memcpy(buffer, path.data(), n);
        buffer[n] = '\0';
        SetLastError(n < path.size() ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
        return n < path.size() ? size : static_cast<DWORD>(n);
    });
}

} // namespace win
