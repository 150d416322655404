#include "platform/portable/restart.h"

#include "platform/codepage.h"
#include "platform/portable/file_system.h"
#include "platform/portable/ini_file.h"
#include "platform/portable/machine.h"
#include "platform/portable/text_files.h"
#include "platform/text_lines.h"

namespace portable {
namespace {

constexpr const char* kPendingSetting = "restart_pending";

std::string FlagsText(UINT flags) {
    if (flags & EWX_REBOOT)
        return "reboot";
    if (flags & (EWX_SHUTDOWN | EWX_POWEROFF))
        return "shutdown";
    return "logoff";
}

std::string DeleteAtBoot(FileSystem& files, const std::string& path) {
    std::string shown = win::FromAnsi(path);
    DirEntry entry;
    if (files.Stat(path, entry) != ERROR_SUCCESS)
        return "skipped NUL=" + shown + " (missing)";
    if (entry.IsDirectory())
        return "skipped NUL=" + shown + " (a folder)";
    DWORD rc = files.DeleteFile(path);
    if (rc == ERROR_ACCESS_DENIED && (entry.attributes & FILE_ATTRIBUTE_READONLY)) {
        // Start-up runs before any protection applies: read-only files go too.
        files.SetAttributes(path, entry.attributes & ~FILE_ATTRIBUTE_READONLY);
        rc = files.DeleteFile(path);
    }
    if (rc != ERROR_SUCCESS)
        return "failed NUL=" + shown + " (error " + std::to_string(rc) + ")";
    return "deleted " + shown;
}

std::string RenameAtBoot(FileSystem& files, const std::string& target, const std::string& source) {
    std::string shown = win::FromAnsi(target) + "=" + win::FromAnsi(source);
    DirEntry entry;
    if (files.Stat(source, entry) != ERROR_SUCCESS)
        return "skipped " + shown + " (missing)";
    if (DWORD rc = files.Move(source, target, true); rc != ERROR_SUCCESS)
        return "failed " + shown + " (error " + std::to_string(rc) + ")";
    return "renamed " + win::FromAnsi(source) + " -> " + win::FromAnsi(target);
}

} // namespace

void MarkRestartPending(Machine& machine, UINT flags) {
    machine.SetSetting(kPendingSetting, FlagsText(flags));
    machine.Journal("ExitWindowsEx " + FlagsText(flags) + " pending");
}

std::string PendingRestart(Machine& machine) {
    return machine.Setting(kPendingSetting);
}

BootReport Boot(FileSystem& files) {
    Machine& machine = files.machine();
    BootReport report;
    std::string windows = win::ToAnsi(machine.Setting("windows_dir", "C:\\WINDOWS"));
    std::string wininit = windows + "\\WININIT.INI";
    std::string text;
    report.hadWininit = ReadWholeFile(files, wininit, text) == ERROR_SUCCESS;
    if (report.hadWininit) {
        std::vector<std::string> lines = win::SplitLines(text);
        if (auto section = ini::FindSection(lines, "rename")) {
            for (size_t i = section->header + 1; i < section->end; ++i) {
                auto entry = ini::ParseEntry(lines[i]);
                if (!entry)
                    continue;
                std::string target(entry->key), source(entry->value);
                report.actions.push_back(win::AnsiEqualsNoCase(target, "NUL")
                                             ? DeleteAtBoot(files, source)
                                             : RenameAtBoot(files, target, source));
            }
        }
        files.Move(wininit, windows + "\\WININIT.BAK", true);
    }
    machine.SetSetting(kPendingSetting, "");
    machine.Journal("boot");
    return report;
}

} // namespace portable
