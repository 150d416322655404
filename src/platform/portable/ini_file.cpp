#include "platform/portable/ini_file.h"

#include "platform/codepage.h"
#include "platform/text_lines.h"

namespace portable::ini {
namespace {

using win::JoinLines;
using win::SplitLines;
constexpr auto Trim = win::TrimBlanks;

bool IsKey(std::string_view line, std::string_view key) {
    auto entry = ParseEntry(line);
    return entry && win::AnsiEqualsNoCase(entry->key, Trim(key));
}

// Index after the section's last non-empty line.
size_t AfterLastEntry(const std::vector<std::string>& lines, const Section& s) {
    size_t at = s.end;
    while (at > s.header + 1 && Trim(lines[at - 1]).empty())
        --at;
    return at;
}

} // namespace

std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

std::optional<Entry> ParseEntry(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[')
        return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return Entry{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

std::optional<Section> FindSection(const std::vector<std::string>& lines, std::string_view name) {
    for (size_t i = 0; i < lines.size(); ++i) {
        auto header = SectionName(lines[i]);
        if (!header || !win::AnsiEqualsNoCase(*header, Trim(name)))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end]))
            ++end;
        return Section{i, end};
    }
    return std::nullopt;
}

std::string SetEntry(std::string_view text, std::string_view section, std::string_view key,
                     std::optional<std::string_view> value) {
    std::vector<std::string> lines = SplitLines(text);
    auto found = FindSection(lines, section);
    if (!value) {
        if (!found)
            return std::string(text);
        size_t before = lines.size();
        for (size_t i = found->end; i-- > found->header + 1;) {
            if (IsKey(lines[i], key))
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return lines.size() == before ? std::string(text) : JoinLines(lines);
    }
    std::string entry = std::string(Trim(key)) + "=" + std::string(*value);
    if (!found) {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + std::string(Trim(section)) + "]");
        lines.push_back(entry);
        return JoinLines(lines);
    }
    for (size_t i = found->header + 1; i < found->end; ++i) {
        if (IsKey(lines[i], key)) {
            lines[i] = entry;
            return JoinLines(lines);
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(AfterLastEntry(lines, *found)), entry);
    return JoinLines(lines);
}

std::string DeleteSection(std::string_view text, std::string_view section) {
    std::vector<std::string> lines = SplitLines(text);
    auto found = FindSection(lines, section);
    if (!found)
        return std::string(text);
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(found->header),
                lines.begin() + static_cast<std::ptrdiff_t>(found->end));
    return JoinLines(lines);
}

} // namespace portable::ini
