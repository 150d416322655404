#include "system/wininit_rename.h"

#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/text_lines.h"
#include "system/Setup_API.h"
#include "system/run_failures.h"

#include <algorithm>

namespace wininit {
namespace {

using win::JoinLines;
using win::SplitLines;
constexpr auto Trim = win::TrimBlanks;

bool IsHeader(std::string_view line) {
    line = Trim(line);
    return line.size() >= 2 && line.front() == '[' && line.find(']') != std::string_view::npos;
}

bool SameLine(std::string_view a, std::string_view b) {
    return win::AnsiEqualsNoCase(Trim(a), Trim(b));
}

bool IsRenameHeader(std::string_view line) {
    return win::AnsiEqualsNoCase(Trim(line), "[RENAME]");
}

// The [RENAME] sections of lines, each as [first line, end).
std::vector<std::pair<size_t, size_t>> RenameSections(const std::vector<std::string>& lines) {
    std::vector<std::pair<size_t, size_t>> sections;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!IsRenameHeader(lines[i]))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && !IsHeader(lines[end]))
            ++end;
        sections.emplace_back(i + 1, end);
        i = end - 1;
    }
    return sections;
}

// Wanted lines that no section has, each once, in their order.
std::vector<std::string> Missing(const std::vector<std::string>& lines,
                                 const std::vector<std::pair<size_t, size_t>>& sections,
                                 const std::vector<std::string>& wanted) {
    std::vector<std::string> missing;
    for (const auto& w : wanted) {
        auto same = [&](const std::string& line) { return SameLine(line, w); };
        bool present = std::any_of(missing.begin(), missing.end(), same);
        for (auto [from, to] : sections) {
            present = present || std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(from),
                                             lines.begin() + static_cast<std::ptrdiff_t>(to), same);
        }
        if (!present)
            missing.push_back(w);
    }
    return missing;
}

std::string AppendSection(std::string_view text, std::string_view header,
                          const std::vector<std::string>& lines) {
    std::string out(text);
    if (!out.empty() && out.back() != '\n')
        out += "\r\n";
    out += std::string(header) + "\r\n";
    for (const auto& line : lines)
        out += line + "\r\n";
    return out + "\r\n";
}

// Notes why WININIT.INI could not be brought up to date and raises 75 for the caller's
// error policy: the removal passes over it without a word, but its deletions at the next
// start would then not happen.
[[noreturn]] void Fail(const std::string& path, const std::string& why) {
    RunFailures::Note("cannot add the deletions at the next start to " + win::FromAnsi(path) +
                      ": " + why + " (error " + std::to_string(win::GetLastError()) + ")");
    forms::Raise(forms::kPathFileAccessError);
}

std::string ReadWininit(const std::string& path) {
    HANDLE file = win::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (win::GetLastError() == ERROR_FILE_NOT_FOUND)
            return {};
        Fail(path, "it cannot be opened");
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    bool ok;
    while ((ok = win::ReadFile(file, buffer, sizeof buffer, &read, nullptr)) && read > 0)
        text.append(buffer, read);
    win::CloseHandle(file);
    if (!ok)
        Fail(path, "it cannot be read");
    return text;
}

void WriteWininit(const std::string& path, const std::string& sibling, const std::string& text) {
    // Marked temporary: a machine that finds it left behind by a crash removes it.
    HANDLE file = win::CreateFileA(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        Fail(path, "the new text cannot be written beside it");
    DWORD written = 0;
    bool ok =
        win::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    win::CloseHandle(file);
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
    std::vector<std::string> lines = SplitLines(text);
    auto sections = RenameSections(lines);
    std::vector<std::string> missing = Missing(lines, sections, wanted);
    if (sections.empty())
        return AppendSection(text, header, missing);
    if (missing.empty())
        return std::string(text);
    auto [start, end] = sections.front();
    size_t at = end;
    while (at > start && Trim(lines[at - 1]).empty())
        --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), missing.begin(), missing.end());
    return JoinLines(lines);
}

void AddRenameLines(const std::vector<std::string>& lines, std::string_view header) {
    std::string folder = win::ToAnsi(Setup_API::GetWindowsDir());
    std::string path = folder + "\\WININIT.INI";
    std::vector<std::string> ansi;
    for (const auto& line : lines)
        ansi.push_back(win::ToAnsi(line));
    std::string before = ReadWininit(path);
    std::string after = WithRenameLines(before, ansi, win::ToAnsi(header));
    if (after != before || before.empty())
        WriteWininit(path, folder + "\\WININIT.$$$", after);
    ScheduleDeletions(ansi);
}

} // namespace wininit
