// The human form of a diff: "+ file   C:\X\Y.TXT  (1,234 bytes)", one line each.
#include "diff_output.h"

#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/registry/regedit_format.h"
#include "platform/portable/store/state_diff.h"

#include <cstdio>

namespace zepmachine {

namespace {

using portable::FileRecord;
using portable::IniLine;
using portable::KeyRecord;
using portable::ValueRecord;

// Data longer than this is cut in the listing (the JSON form has all of it).
constexpr size_t kDataWidth = 100;

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

// UTF-8 for the terminal, control characters as \xNN: names and data come from the machine
// and must not be able to drive the reader's terminal.
std::string Shown(std::string_view ansi) {
    std::string safe;
    safe.reserve(ansi.size());
    for (char c : ansi) {
        if (!IsControl(static_cast<unsigned char>(c))) {
            safe += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
        safe += escaped;
    }
    return win::FromAnsi(safe);
}

std::string_view OwnName(std::string_view path) {
    size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

template <class Record> char Sign(const portable::Difference<Record>& d) {
    return d.Added() ? '+' : d.Removed() ? '-' : '~';
}

void Line(std::string& out, char sign, std::string_view kind, std::string_view text) {
    out += sign;
    out += ' ';
    out += kind;
    out.append(kind.size() < 6 ? 6 - kind.size() : 0, ' ');
    out += ' ';
    out += text;
    out += '\n';
}

std::string Attributes(DWORD attributes) {
    std::string letters = AttributeLetters(attributes);
    return letters.empty() ? "none" : letters;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts)
        out += (out.empty() ? "" : ", ") + part;
    return out.empty() ? out : "  (" + out + ")";
}

std::string FileDetails(const FileRecord& f) {
    std::vector<std::string> parts;
    if (!f.folder)
        parts.push_back(Grouped(f.size) + " bytes");
    if (f.attributes)
        parts.push_back("attributes " + Attributes(f.attributes));
    return Joined(parts);
}

std::string ChangeDetails(const FileRecord& a, const FileRecord& b) {
    std::vector<std::string> parts;
    if (a.size != b.size)
        parts.push_back(Grouped(a.size) + " -> " + Grouped(b.size) + " bytes");
    else if (a.sha256 != b.sha256)
        parts.push_back(Grouped(b.size) + " bytes, contents changed");
    if (a.attributes != b.attributes)
        parts.push_back("attributes " + Attributes(a.attributes) + " -> " +
                        Attributes(b.attributes));
    if (OwnName(a.path) != OwnName(b.path))
        parts.push_back("was " + Shown(OwnName(a.path)));
    return Joined(parts);
}

void Files(std::string& out, const std::vector<portable::Difference<FileRecord>>& files) {
    for (const auto& d : files) {
        const FileRecord& f = d.after ? *d.after : *d.before;
        std::string details = d.Changed() ? ChangeDetails(*d.before, f) : FileDetails(f);
        Line(out, Sign(d), f.folder ? "folder" : "file", Shown(f.path) + details);
    }
}

void Keys(std::string& out, const std::vector<portable::Difference<KeyRecord>>& keys) {
    for (const auto& d : keys) {
        const KeyRecord& k = d.after ? *d.after : *d.before;
        std::string details = d.Changed() ? "  (was " + Shown(OwnName(d.before->path)) + ")" : "";
        Line(out, Sign(d), "key", Shown(k.path) + details);
    }
}

std::string Data(const ValueRecord& v) {
    std::string data = portable::ValueData(v.type, v.data, false);
    if (data.size() > kDataWidth)
        data = data.substr(0, kDataWidth) + "... (" + Grouped(v.data.size()) + " bytes)";
    return Shown(data);
}

std::string ValueChange(const ValueRecord& a, const ValueRecord& b) {
    std::string text = Shown(portable::QuotedName(b.name)) + "=";
    if (a.name != b.name)
        text = Shown(portable::QuotedName(a.name)) + "=";
    text += Data(a) + " -> ";
    if (a.name != b.name)
        text += Shown(portable::QuotedName(b.name)) + "=";
    text += Data(b);
    if (a.type != b.type)
        text +=
            "  (" + portable::RegTypeName(a.type) + " -> " + portable::RegTypeName(b.type) + ")";
    return text;
}

void Values(std::string& out, const std::vector<portable::Difference<ValueRecord>>& values) {
    for (const auto& d : values) {
        const ValueRecord& v = d.after ? *d.after : *d.before;
        std::string text = d.Changed() ? ValueChange(*d.before, v)
                                       : Shown(portable::QuotedName(v.name)) + "=" + Data(v);
        Line(out, Sign(d), "value", "[" + Shown(v.key) + "] " + text);
    }
}

void IniLines(std::string& out, const std::vector<portable::Difference<IniLine>>& lines) {
    for (const auto& d : lines) {
        const IniLine& l = d.after ? *d.after : *d.before;
        std::string section = l.section.empty() ? "" : " [" + Shown(l.section) + "]";
        Line(out, Sign(d), "ini", Shown(l.file) + section + " " + Shown(l.line));
    }
}

} // namespace

std::string AttributeLetters(unsigned long attributes) {
    std::string letters;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        letters += 'R';
    if (attributes & FILE_ATTRIBUTE_HIDDEN)
        letters += 'H';
    if (attributes & FILE_ATTRIBUTE_SYSTEM)
        letters += 'S';
    return letters;
}

std::string DiffText(const portable::StateDiff& diff) {
    std::string out;
    Files(out, diff.files);
    Keys(out, diff.keys);
    Values(out, diff.values);
    IniLines(out, diff.iniLines);
    auto counts = diff.Count();
    if (diff.Empty())
        return out + "no differences\n";
    return out + Grouped(counts.added) + " added, " + Grouped(counts.changed) + " changed, " +
           Grouped(counts.removed) + " removed\n";
}

} // namespace zepmachine
