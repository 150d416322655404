// INI text as Windows 95 reads and writes it: lines ended by CR LF (a lone LF is taken
// too), "[section]" headers, "key=value" entries with blanks around key and value
// ignored, section and key names compared without regard to case, lines starting with ';'
// and anything else not an entry passed over. Text is ANSI; the edits keep every line
// they do not change as it was.
#pragma once

#include "platform/text_lines.h"

#include <optional>
#include <string>
#include <string_view>

namespace portable::ini {

// The name between the brackets of a section header line.
std::optional<std::string_view> SectionName(std::string_view line);

struct Entry {
    std::string_view key;
    std::string_view value;
};
std::optional<Entry> ParseEntry(std::string_view line);

// One WritePrivateProfileString edit: no key deletes the section, no value the key's
// entries; else the first entry of key in the section gets the value, or a new entry goes
// after the section's last non-empty line, or the section is added at the end of the text.
struct ProfileEdit {
    std::string_view section;
    std::optional<std::string_view> key;
    std::optional<std::string_view> value;
};

// The edit on a text of any size read twice as a stream: a first pass finds the lines it
// touches, a second copies the text with the edit, every other line byte for byte.
class StreamedEdit {
public:
    explicit StreamedEdit(const ProfileEdit& edit) : edit_(edit) {}
    // False on a read error.
    bool Plan(win::LineReader& reader);
    // Whether the text changes (after Plan).
    bool Changes() const;
    // False when the text cannot be read or written.
    bool Apply(win::LineReader& reader, const win::ByteSink& out) const;

private:
    bool IsKey(std::string_view line) const;
    std::string Entry() const; // key=value
    bool AddAtEnd(bool open, bool lastBlank, const win::ByteSink& out) const;

    ProfileEdit edit_;
    std::optional<size_t> header_;  // the section's header line
    size_t end_ = 0;                // the line after the section
    std::optional<size_t> keyLine_; // the key's first entry in it
    bool keySame_ = false;          // which already reads key=value
    size_t insertAfter_ = 0;        // the section's last non-empty line
};

std::string Edited(std::string_view text, const ProfileEdit& edit);
std::string SetEntry(std::string_view text, std::string_view section, std::string_view key,
                     std::optional<std::string_view> value);
std::string DeleteSection(std::string_view text, std::string_view section);

} // namespace portable::ini
