#include "platform/portable/restart.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/ini_file.h"
#include "platform/portable/files/text_files.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"
#include "platform/text_lines.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <optional>

namespace portable {
namespace {

constexpr const char* kPendingSetting = "restart_pending";
// The index of WININIT.BAK's next line to run while a boot is under way; empty otherwise.
constexpr const char* kNextLineSetting = "boot_next_line";
// Lines that change nothing move the mark on in batches of this many.
constexpr size_t kMarkEvery = 256;

std::string FlagsText(UINT flags) {
    if (flags & EWX_REBOOT)
        return "reboot";
    if (flags & (EWX_SHUTDOWN | EWX_POWEROFF))
        return "shutdown";
    return "logoff";
}

// Each line that changes something moves the mark past it in the same transaction, so that
// an interrupted boot goes on with the next line and never runs one twice.
using Mark = std::function<void()>;

struct Action {
    BootOutcome outcome;
    std::string text;
};

Action DeleteAtBoot(FileSystem& files, const std::string& path, const Mark& mark) {
    std::string shown = win::FromAnsi(path);
    DirEntry entry;
    if (files.Stat(path, entry) != ERROR_SUCCESS)
        return {BootOutcome::Skipped, "skipped NUL=" + shown + " (missing)"};
    if (entry.IsDirectory())
        return {BootOutcome::Skipped, "skipped NUL=" + shown + " (a folder)"};
    DWORD rc = files.DeleteAndRecord(path, mark);
    if (rc == ERROR_ACCESS_DENIED && (entry.attributes & FILE_ATTRIBUTE_READONLY)) {
        // Start-up runs before any protection applies: read-only files go too.
        files.SetAttributes(path, entry.attributes & ~FILE_ATTRIBUTE_READONLY);
        rc = files.DeleteAndRecord(path, mark);
    }
    if (rc != ERROR_SUCCESS)
        return {BootOutcome::Failed, "failed NUL=" + shown + " (error " + std::to_string(rc) + ")"};
    return {BootOutcome::Deleted, "deleted " + shown};
}

Action RenameAtBoot(FileSystem& files, const std::string& target, const std::string& source,
                    const Mark& mark) {
    std::string shown = win::FromAnsi(target) + "=" + win::FromAnsi(source);
    DirEntry entry;
    if (files.Stat(source, entry) != ERROR_SUCCESS)
        return {BootOutcome::Skipped, "skipped " + shown + " (missing)"};
    auto record = [&] {
        files.machine().Journal("move " + win::FromAnsi(source) + " -> " + win::FromAnsi(target));
        mark();
    };
    if (DWORD rc = files.MoveAndRecord(source, target, record, true); rc != ERROR_SUCCESS)
        return {BootOutcome::Failed, "failed " + shown + " (error " + std::to_string(rc) + ")"};
    return {BootOutcome::Renamed,
            "renamed " + win::FromAnsi(source) + " -> " + win::FromAnsi(target)};
}

Action RunEntry(FileSystem& files, std::string_view line, bool cut, size_t index,
                const Mark& mark) {
    if (cut) // its path would be cut short
        return {BootOutcome::Failed, "failed line " + std::to_string(index + 1) + " (longer than " +
                                         std::to_string(win::LineReader::kMaxLine) + " bytes)"};
    auto entry = ini::ParseEntry(line);
    std::string target(entry->key), source(entry->value);
    return win::AnsiEqualsNoCase(target, "NUL") ? DeleteAtBoot(files, source, mark)
                                                : RenameAtBoot(files, target, source, mark);
}

void Count(BootCounts& counts, BootOutcome outcome) {
    switch (outcome) {
    case BootOutcome::Deleted:
        ++counts.deleted;
        break;
    case BootOutcome::Renamed:
        ++counts.renamed;
        break;
    case BootOutcome::Skipped:
        ++counts.skipped;
        break;
    case BootOutcome::Failed:
        ++counts.failed;
        break;
    }
}

// Runs the first [rename] section's lines from line index first on, reading them one at a
// time. False on a read error.
bool RunRenameSection(FileSystem& files, win::LineReader& reader, size_t first, BootReport& report,
                      BootListener* listener) {
    Machine& machine = files.machine();
    bool inSection = false;
    size_t unmarked = 0;
    std::string line;
    for (size_t i = 0; reader.Next(line); ++i) {
        if (auto name = ini::SectionName(line)) {
            if (inSection)
                break; // only the first section runs
            inSection = win::AnsiEqualsNoCase(*name, "rename");
            continue;
        }
        if (!inSection || i < first)
            continue;
        std::string next = std::to_string(i + 1);
        Mark mark = [&] { machine.SetSetting(kNextLineSetting, next); };
        if (reader.Cut() || ini::ParseEntry(line)) {
            Action action = RunEntry(files, line, reader.Cut(), i, mark);
            bool changed =
                action.outcome == BootOutcome::Deleted || action.outcome == BootOutcome::Renamed;
            unmarked = changed ? 0 : unmarked + 1;
            Count(report.counts, action.outcome);
            if (listener)
                listener->Entry(action.outcome, action.text);
        } else {
            ++unmarked;
        }
        if (unmarked >= kMarkEvery) {
            mark(); // a line that changed nothing may run again; it changes nothing then
            unmarked = 0;
        }
    }
    return !reader.Failed();
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
// The boot's mark is set in the same transaction: from then on the lines run from WININIT.BAK.
DWORD SetAside(FileSystem& files, const std::string& wininit, const std::string& backup) {
    auto record = [&] {
        files.machine().Journal("move " + win::FromAnsi(wininit) + " -> " + win::FromAnsi(backup));
        files.machine().SetSetting(kNextLineSetting, "0");
    };
    DWORD rc = files.MoveAndRecord(wininit, backup, record, true);
    DirEntry old;
    if (rc == ERROR_ACCESS_DENIED && files.Stat(backup, old) == ERROR_SUCCESS &&
        !old.IsDirectory() && (old.attributes & FILE_ATTRIBUTE_READONLY)) {
        files.SetAttributes(backup, old.attributes & ~FILE_ATTRIBUTE_READONLY);
        rc = files.MoveAndRecord(wininit, backup, record, true);
    }
    return rc;
}

// The line an interrupted boot stopped at, when one was under way.
std::optional<size_t> InterruptedAt(Machine& machine) {
    std::string mark = machine.Setting(kNextLineSetting);
    size_t line = 0;
    auto [end, ec] = std::from_chars(mark.data(), mark.data() + mark.size(), line);
    if (mark.empty() || ec != std::errc() || end != mark.data() + mark.size())
        return std::nullopt;
    return line;
}

void Fail(Machine& machine, BootReport& report, std::string why) {
    report.failure = std::move(why);
    machine.Journal("boot failed: " + report.failure);
}

std::string SetAsideFailure(FileSystem& files, const std::string& backup, DWORD rc) {
    DirEntry old;
    bool folder = files.Stat(backup, old) == ERROR_SUCCESS && old.IsDirectory();
    return "WININIT.INI cannot become WININIT.BAK (" +
           (folder ? std::string("a folder has that name") : "error " + std::to_string(rc)) +
           "); none of its lines was run";
}

// Runs WININIT.BAK's lines from line first on. False when it cannot be read: failure says
// why, and the mark is cleared (there is nothing to go on with).
bool RunBackup(FileSystem& files, const std::string& backup, size_t first, bool resumed,
               BootReport& report, BootListener* listener) {
    UniqueFd fd;
    DWORD rc = files.Open(backup, OpenMode::Read, fd);
    if (rc == ERROR_SUCCESS) {
        win::LineReader reader(FdSource(fd.get()));
        if (RunRenameSection(files, reader, first, report, listener))
            return true;
        rc = ERROR_READ_FAULT;
    }
    bool none = !resumed && rc != ERROR_READ_FAULT;
    size_t next = InterruptedAt(files.machine()).value_or(first) + 1;
    Fail(files.machine(), report,
         "WININIT.BAK cannot be read (error " + std::to_string(rc) + "); " +
             (none ? std::string("none of its lines was run")
                   : "the lines from line " + std::to_string(next) + " on were not run"));
    files.machine().SetSetting(kNextLineSetting, "");
    return false;
}

} // namespace

BootReport Boot(FileSystem& files, BootListener* listener) {
    Machine& machine = files.machine();
    BootReport report;
    std::string windows = win::ToAnsi(machine.Setting("windows_dir", "C:\\WINDOWS"));
    std::string wininit = windows + "\\WININIT.INI";
    std::string backup = windows + "\\WININIT.BAK";
    // First what an interrupted boot left, then a WININIT.INI written since.
    if (std::optional<size_t> first = InterruptedAt(machine)) {
        report.resumed = true;
        report.resumedAt = *first;
        if (listener)
            listener->Resuming(*first);
        if (!RunBackup(files, backup, *first, true, report, listener))
            return report;
        machine.SetSetting(kNextLineSetting, "");
    }
    DirEntry entry;
    report.hadWininit = files.Stat(wininit, entry) == ERROR_SUCCESS && !entry.IsDirectory();
    if (report.hadWininit) {
        if (DWORD rc = SetAside(files, wininit, backup); rc != ERROR_SUCCESS) {
            Fail(machine, report, SetAsideFailure(files, backup, rc));
            return report; // the restart stays pending
        }
        if (listener)
            listener->SetAside();
        if (!RunBackup(files, backup, 0, false, report, listener))
            return report;
    }
    Transaction done(machine.store());
    machine.SetSetting(kPendingSetting, "");
    machine.SetSetting(kNextLineSetting, "");
    machine.Journal(report.counts.failed > 0
                        ? "boot (" + std::to_string(report.counts.failed) + " lines failed)"
                        : std::string("boot"));
    done.Commit();
    return report;
}

} // namespace portable
