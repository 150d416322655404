// GetCommandLineA and GetModuleFileNameA on the portable machine. A program started by
// `zepmachine run` finds both in its environment: ZEPSETUP_MODULE (the Windows path of
// its file) and ZEPSETUP_COMMAND_LINE (that path, a blank and the argument text). Started
// from the host, its module is its executable seen from the machine: the file itself when
// it lies in a machine drive, else a file of the CD-ROM drive D:, which is mapped to the
// executable's folder (the distribution the setup is started from); its arguments are
// joined by single blanks.
#include "platform/kernel32.h"

#include "platform/codepage.h"
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
        if (!drive.HasMedium())
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
    auto d = machine.FindDrive('D');
    if (!d || d->type != DRIVE_CDROM || fs::weakly_canonical(d->host, ec) != exe.parent_path())
        machine.MapDrive('D', DRIVE_CDROM, exe.parent_path());
    return "D:\\" + ToAnsi(exe.filename().string());
}

// Worked out once per machine and value of the environment variable (only tests change
// either), so that a second machine gets its own D: mapping.
const std::string& ModulePath() {
    static std::string path;
    static std::optional<std::pair<std::string, fs::path>> madeFrom;
    std::pair<std::string, fs::path> key{Environment("ZEPSETUP_MODULE"),
                                         portable::CurrentMachine().root()};
    if (madeFrom != key) {
        path = key.first.empty() ? ModuleFromHost() : ToAnsi(key.first);
        madeFrom = key;
    }
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
    return CommandLine().data();
}

DWORD GetModuleFileNameA(void* module, LPSTR buffer, DWORD size) {
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
}

} // namespace win
