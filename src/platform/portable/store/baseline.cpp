#include "platform/portable/store/baseline.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_import.h"

#include <string_view>
#include <unistd.h>

namespace embedded {
extern const std::string_view kSystemIni;
extern const std::string_view kWinIni;
extern const std::string_view kBaselineReg;
} // namespace embedded

namespace portable {
namespace {

// Folders in creation order: the order fixes their 8.3 aliases.
constexpr std::string_view kFolders[] = {
    "C:\\WINDOWS",
    "C:\\WINDOWS\\SYSTEM",
    "C:\\WINDOWS\\TEMP",
    "C:\\WINDOWS\\COMMAND",
    "C:\\WINDOWS\\FONTS",
    "C:\\WINDOWS\\HELP",
    "C:\\WINDOWS\\INF",
    "C:\\WINDOWS\\Desktop",
    "C:\\WINDOWS\\Startmenü",
    "C:\\WINDOWS\\Startmenü\\Programme",
    "C:\\WINDOWS\\Startmenü\\Programme\\Autostart",
    "C:\\WINDOWS\\Startmenü\\Programme\\Zubehör",
    "C:\\WINDOWS\\SendTo",
    "C:\\WINDOWS\\Recent",
    "C:\\WINDOWS\\Favoriten",
    "C:\\RECYCLED",
    "C:\\Programme",
    "C:\\Programme\\Zubehör",
};

// Text files of the Windows folder: kept in the repository as UTF-8 with LF, written as
// Windows-1252 with CR LF like every text file of the machine.
std::string WindowsText(std::string_view utf8) {
    std::string ansi = win::ToAnsi(utf8);
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 16);
    for (char c : ansi) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

void Must(DWORD rc, std::string_view what) {
    if (rc != ERROR_SUCCESS)
        throw MachineError("baseline: " + std::string(what) + " failed with error " +
                           std::to_string(rc));
}

void WriteFile(FileSystem& files, std::string_view utf8Path, std::string_view bytes) {
    UniqueFd fd;
    Must(files.Open(win::ToAnsi(utf8Path), OpenMode::CreateTruncate, fd), utf8Path);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            throw MachineError("baseline: cannot write " + std::string(utf8Path));
        done += static_cast<size_t>(n);
    }
}

} // namespace

void WriteBaseline(Machine& machine) {
    machine.SetSetting("windows_dir", "C:\\WINDOWS");
    machine.SetSetting("system_dir", "C:\\WINDOWS\\SYSTEM");
    machine.SetSetting("temp_dir", "C:\\WINDOWS\\TEMP\\");

    FileSystem& files = machine.Files();
    for (auto folder : kFolders)
        Must(files.CreateDirectory(win::ToAnsi(folder)), folder);
    WriteFile(files, "C:\\WINDOWS\\SYSTEM.INI", WindowsText(embedded::kSystemIni));
    WriteFile(files, "C:\\WINDOWS\\WIN.INI", WindowsText(embedded::kWinIni));
    // The recycle bin of drive C:, hidden and system as Windows 95 keeps it.
    Must(files.SetAttributes("C:\\RECYCLED", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
         "RECYCLED");
    // The shell's icon cache: a hidden file Windows rebuilds when it is missing.
    WriteFile(files, "C:\\WINDOWS\\ShellIconCache", {});
    Must(files.SetAttributes("C:\\WINDOWS\\ShellIconCache", FILE_ATTRIBUTE_HIDDEN),
         "ShellIconCache");

    // The baseline registry is a REGEDIT4 file in the repository (UTF-8 there, like the INI
    // files); it must import cleanly.
    auto report =
        ImportRegistryScript(machine, win::ToAnsi(embedded::kBaselineReg), "baseline.reg");
    if (!report.accepted || !report.problems.empty())
        throw MachineError("baseline registry: " + (report.problems.empty()
                                                        ? std::string("not imported")
                                                        : report.problems.front()));
}

} // namespace portable
