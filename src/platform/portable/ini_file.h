// INI text as Windows 95 reads and writes it: lines ended by CR LF (a lone LF is taken
// too), "[section]" headers, "key=value" entries with blanks around key and value
// ignored, section and key names compared without regard to case, lines starting with ';'
// and anything else not an entry passed over. Text is ANSI; the edits keep every line
// they do not change as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace portable::ini {

// The name between the brackets of a section header line.
std::optional<std::string_view> SectionName(std::string_view line);

struct Entry {
    std::string_view key;
    std::string_view value;
};
std::optional<Entry> ParseEntry(std::string_view line);

// Lines header+1 .. end-1 are the section's body.
struct Section {
    size_t header = 0;
    size_t end = 0;
};
std::optional<Section> FindSection(const std::vector<std::string>& lines, std::string_view name);

// WritePrivateProfileString's edits. SetEntry replaces the first entry of key in the
// section, else adds it after the section's last non-empty line, else adds the section
// at the end of the text; a null value deletes the key's entries instead.
std::string SetEntry(std::string_view text, std::string_view section, std::string_view key,
                     std::optional<std::string_view> value);
std::string DeleteSection(std::string_view text, std::string_view section);

} // namespace portable::ini
