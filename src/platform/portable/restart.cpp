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

void RunRenameSection(FileSystem& files, const std::string& text, BootReport& report) {
    std::vector<std::string> lines = win::SplitLines(text);
    auto section = ini::FindSection(lines, "rename");
    if (!section)
        return;
    for (size_t i = section->header + 1; i < section->end; ++i) {
        auto entry = ini::ParseEntry(lines[i]);
        if (!entry)
            continue;
        std::string target(entry->key), source(entry->value);
        std::string action = win::AnsiEqualsNoCase(target, "NUL")
                                 ? DeleteAtBoot(files, source)
                                 : RenameAtBoot(files, target, source);
        if (action.starts_with("failed"))
            ++report.failedLines;
        report.actions.push_back(std::move(action));
    }
}

} // namespace

void MarkRestartPending(Machine& machine, UINT flags) {
    machine.SetSetting(kPendingSetting, FlagsText(flags));
    machine.Journal("ExitWindowsEx " + FlagsText(flags) + " pending");
}

std::string PendingRestart(Machine& machine) {
    return machine.Setting(kPendingSetting);
}

namespace {

// WININIT.INI becomes WININIT.BAK before any of its lines runs, so that no failure, crash or
// second boot can run them twice. A read-only WININIT.BAK is replaced all the same (start-up
// runs before any protection applies); a folder of that name stops the boot.
DWORD SetAside(FileSystem& files, const std::string& wininit, const std::string& backup) {
    DWORD rc = files.Move(wininit, backup, true);
    DirEntry old;
    if (rc == ERROR_ACCESS_DENIED && files.Stat(backup, old) == ERROR_SUCCESS &&
        !old.IsDirectory() && (old.attributes & FILE_ATTRIBUTE_READONLY)) {
        files.SetAttributes(backup, old.attributes & ~FILE_ATTRIBUTE_READONLY);
        rc = files.Move(wininit, backup, true);
    }
    return rc;
}

std::string SetAsideFailure(FileSystem& files, const std::string& backup, DWORD rc) {
    DirEntry old;
    bool folder = files.Stat(backup, old) == ERROR_SUCCESS && old.IsDirectory();
    return "WININIT.INI cannot become WININIT.BAK (" +
           (folder ? std::string("a folder has that name") : "error " + std::to_string(rc)) +
           "); none of its lines was run";
}

} // namespace

BootReport Boot(FileSystem& files) {
    Machine& machine = files.machine();
    BootReport report;
    std::string windows = win::ToAnsi(machine.Setting("windows_dir", "C:\\WINDOWS"));
    std::string wininit = windows + "\\WININIT.INI";
    std::string backup = windows + "\\WININIT.BAK";
    DirEntry entry;
    report.hadWininit = files.Stat(wininit, entry) == ERROR_SUCCESS && !entry.IsDirectory();
    if (report.hadWininit) {
        if (DWORD rc = SetAside(files, wininit, backup); rc != ERROR_SUCCESS) {
            report.failure = SetAsideFailure(files, backup, rc);
            machine.Journal("boot failed: " + report.failure);
            return report; // the restart stays pending
        }
        std::string text;
        if (DWORD rc = ReadWholeFile(files, backup, text); rc != ERROR_SUCCESS) {
            report.failure = "WININIT.BAK cannot be read (error " + std::to_string(rc) +
                             "); none of its lines was run";
            machine.Journal("boot failed: " + report.failure);
            return report;
        }
        RunRenameSection(files, text, report);
    }
    machine.SetSetting(kPendingSetting, "");
    machine.Journal(report.failedLines > 0
                        ? "boot (" + std::to_string(report.failedLines) + " lines failed)"
                        : std::string("boot"));
    return report;
}

} // namespace portable
