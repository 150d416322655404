#include "system/wininit_rename.h"

#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/text_lines.h"
#include "system/Setup_API.h"
#include "system/run_failures.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace wininit {
namespace {

constexpr auto Trim = win::TrimBlanks;

bool IsHeader(std::string_view line) {
    line = Trim(line);
    return line.size() >= 2 && line.front() == '[' && line.find(']') != std::string_view::npos;
}

bool IsRenameHeader(std::string_view line) {
    return win::AnsiEqualsNoCase(Trim(line), "[RENAME]");
}

// What the merge does, found in a first pass over the text: which wanted lines no
// [RENAME] section has, and after which line they go.
struct Plan {
    std::vector<std::string> missing;
    bool hasSection = false;
    size_t insertAfter = 0; // index of the first section's header or last non-empty line
};

// Wanted lines keyed by their upper case without blanks around, so that each line of a
// large file costs one lookup however many lines are wanted.
std::string Key(std::string_view line) {
    return win::AnsiUpper(Trim(line));
}

// False on a read error.
bool MakePlan(win::LineReader& reader, const std::vector<std::string>& wanted, Plan& plan) {
    std::unordered_map<std::string, bool> present;
    for (const auto& w : wanted)
        present.emplace(Key(w), false);
    bool inRename = false, inFirst = false;
    std::string line;
    for (size_t i = 0; reader.Next(line); ++i) {
        if (IsHeader(line)) {
            inRename = IsRenameHeader(line);
            inFirst = inRename && !plan.hasSection;
            if (inFirst) {
                plan.hasSection = true;
                plan.insertAfter = i;
            }
            continue;
        }
        if (!inRename)
            continue;
        if (inFirst && !Trim(line).empty())
            plan.insertAfter = i;
        if (reader.Cut())
            continue; // longer than any wanted line
        if (auto it = present.find(Key(line)); it != present.end())
            it->second = true;
    }
    for (const auto& w : wanted) {
        auto it = present.find(Key(w));
        if (!it->second)
            plan.missing.push_back(w);
        it->second = true; // each once
    }
    return !reader.Failed();
}

// Copies the text line by line, byte for byte, with the plan's lines added. False when it
// cannot be read or written.
bool Merge(win::LineReader& reader, const Plan& plan, std::string_view header,
           const win::ByteSink& out) {
    auto add = [&](std::string_view line) { return out(line) && out("\r\n"); };
    auto addMissing = [&] { return std::all_of(plan.missing.begin(), plan.missing.end(), add); };
    std::string line;
    bool open = false; // the last line copied has no end
    for (size_t i = 0; reader.Next(line); ++i) {
        if (!reader.CopyLine(out))
            return false;
        open = reader.Open();
        if (!plan.hasSection || i != plan.insertAfter)
            continue;
        if ((open && !out("\r\n")) || !addMissing())
            return false;
        open = false;
    }
    if (reader.Failed())
        return false;
    if (plan.hasSection)
        return true;
    if (open && !out("\r\n"))
        return false;
    return add(header) && addMissing() && out("\r\n");
}

// Notes why WININIT.INI could not be brought up to date and raises 75 for the caller's
// error policy: the removal passes over it without a word, but its deletions at the next
// start would then not happen.
[[noreturn]] void Fail(const std::string& path, const std::string& why) {
    RunFailures::Note("cannot add the deletions at the next start to " + win::FromAnsi(path) +
                      ": " + why + " (error " + std::to_string(win::GetLastError()) + ")");
    forms::Raise(forms::kPathFileAccessError);
}

// WININIT.INI open for reading; without a file, a source that is at its end at once.
struct WininitFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool exists = false;
    WininitFile(const WininitFile&) = delete;
    WininitFile& operator=(const WininitFile&) = delete;
    WininitFile() = default;
    ~WininitFile() {
        if (handle != INVALID_HANDLE_VALUE)
            win::CloseHandle(handle);
    }
    win::ByteSource Source() {
        return [this](char* buffer, size_t size) -> std::ptrdiff_t {
            if (handle == INVALID_HANDLE_VALUE)
                return 0;
            DWORD read = 0;
            if (!win::ReadFile(handle, buffer, static_cast<DWORD>(size), &read, nullptr))
                return -1;
            return static_cast<std::ptrdiff_t>(read);
        };
    }
};

void OpenWininit(const std::string& path, WininitFile& file) {
    file.handle = win::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    file.exists = file.handle != INVALID_HANDLE_VALUE;
    if (!file.exists && win::GetLastError() != ERROR_FILE_NOT_FOUND)
        Fail(path, "it cannot be opened");
}

Plan PlanFor(const std::string& path, const std::vector<std::string>& lines, bool& exists) {
    WininitFile file;
    OpenWininit(path, file);
    exists = file.exists;
    win::LineReader reader(file.Source());
    Plan plan;
    if (!MakePlan(reader, lines, plan))
        Fail(path, "it cannot be read");
    return plan;
}

// Writes the merged text beside the old file and renames it over that.
void WriteWininit(const std::string& path, const std::string& sibling, const Plan& plan,
                  std::string_view header) {
    auto file = std::make_unique<WininitFile>();
    OpenWininit(path, *file);
    win::LineReader reader(file->Source());
    // Marked temporary: a machine that finds it left behind by a crash removes it.
    HANDLE out = win::CreateFileA(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        Fail(path, "the new text cannot be written beside it");
    win::BufferedSink sink([out](std::string_view bytes) {
        DWORD written = 0;
        return win::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) &&
               written == bytes.size();
    });
    bool ok = Merge(reader, plan, header, sink.AsSink()) && sink.Flush();
    file.reset(); // Windows renames nothing over a file that is open
    win::CloseHandle(out);
    if (ok)
        ok = win::MoveFileExA(sibling.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!ok) {
        DWORD error = win::GetLastError();
        win::DeleteFileA(sibling.c_str()); // the old WININIT.INI stays as it was
        win::SetLastError(error);
        Fail(path, "the new text cannot be written and put in its place");
    }
}

// The NT family never reads WININIT.INI; it deletes at its next start what MoveFileExA
// scheduled. Windows 95 has no such call (it fails there, and on the portable machine,
// without effect), so the lines stay the record and this is the NT family's copy of it.
void ScheduleDeletions(const std::vector<std::string>& lines) {
    constexpr std::string_view kDelete = "NUL=";
    for (const auto& line : lines) {
        if (line.size() <= kDelete.size() || !win::AnsiEqualsNoCase(line.substr(0, 4), kDelete))
            continue;
        std::string path = line.substr(kDelete.size());
        win::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

} // namespace

std::string WithRenameLines(std::string_view text, const std::vector<std::string>& wanted,
                            std::string_view header) {
    Plan plan;
    win::LineReader first(win::SourceOf(text));
    MakePlan(first, wanted, plan);
    std::string out;
    win::LineReader second(win::SourceOf(text));
    Merge(second, plan, header, [&](std::string_view bytes) {
        out += bytes;
        return true;
    });
    return out;
}

void AddRenameLines(const std::vector<std::string>& lines, std::string_view header) {
    std::string folder = win::ToAnsi(Setup_API::GetWindowsDir());
    std::string path = folder + "\\WININIT.INI";
    std::vector<std::string> ansi;
    for (const auto& line : lines)
        ansi.push_back(win::ToAnsi(line));
    bool exists = false;
    Plan plan = PlanFor(path, ansi, exists);
    if (!plan.missing.empty() || !exists)
        WriteWininit(path, folder + "\\WININIT.$$$", plan, win::ToAnsi(header));
    ScheduleDeletions(ansi);
}

} // namespace wininit
