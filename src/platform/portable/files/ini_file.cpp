#include "platform/portable/files/ini_file.h"

#include "platform/codepage.h"
#include "platform/text_lines.h"

namespace portable::ini {
namespace {

constexpr auto Trim = win::TrimBlanks;

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

bool StreamedEdit::IsKey(std::string_view line) const {
    auto entry = ParseEntry(line);
    return entry && win::AnsiEqualsNoCase(entry->key, Trim(*edit_.key));
}

bool StreamedEdit::Plan(win::LineReader& reader) {
    std::string line;
    size_t i = 0;
    for (; reader.Next(line); ++i) {
        if (auto name = SectionName(line)) {
            if (header_ && end_ == 0)
                end_ = i;
            if (!header_ && win::AnsiEqualsNoCase(*name, Trim(edit_.section)))
                header_ = insertAfter_ = i;
            continue;
        }
        if (!header_ || end_ != 0)
            continue;
        if (!Trim(line).empty())
            insertAfter_ = i;
        if (edit_.key && !keyLine_ && !reader.Cut() && IsKey(line)) {
            keyLine_ = i;
            keySame_ = edit_.value && line == Entry();
        }
    }
    if (header_ && end_ == 0)
        end_ = i;
    return !reader.Failed();
}

bool StreamedEdit::Changes() const {
    if (!edit_.key || !edit_.value)
        return header_ && (!edit_.key || keyLine_);
    return !keySame_;
}

std::string StreamedEdit::Entry() const {
    return std::string(Trim(*edit_.key)) + "=" + std::string(*edit_.value);
}

bool StreamedEdit::AddAtEnd(bool open, bool lastBlank, const win::ByteSink& out) const {
    if (open && !out("\r\n"))
        return false;
    if (!lastBlank && !out("\r\n"))
        return false;
    return out("[" + std::string(Trim(edit_.section)) + "]\r\n") && out(Entry() + "\r\n");
}

bool StreamedEdit::Apply(win::LineReader& reader, const win::ByteSink& out) const {
    bool setting = edit_.key && edit_.value;
    std::string entry = setting ? Entry() + "\r\n" : "";
    std::string line;
    bool open = false, lastBlank = true;
    size_t i = 0;
    for (; reader.Next(line); ++i) {
        bool inSection = header_ && i >= *header_ && i < end_;
        bool body = inSection && i > *header_;
        if (!edit_.key && inSection)
            continue; // the section goes
        if (edit_.key && !edit_.value && body && !reader.Cut() && IsKey(line))
            continue; // an entry of the key goes
        if (setting && keyLine_ == i) {
            if (!out(entry))
                return false;
            open = false;
            lastBlank = false;
            continue;
        }
        if (!reader.CopyLine(out))
            return false;
        open = reader.Open();
        lastBlank = Trim(line).empty() && !reader.Cut();
        if (setting && header_ && !keyLine_ && i == insertAfter_) {
            if ((open && !out("\r\n")) || !out(entry))
                return false;
            open = false;
        }
    }
    if (reader.Failed())
        return false;
    if (setting && !header_)
        return AddAtEnd(open, lastBlank, out);
    return true;
}

std::string Edited(std::string_view text, const ProfileEdit& edit) {
    StreamedEdit streamed(edit);
    win::LineReader first(win::SourceOf(text));
    streamed.Plan(first);
    if (!streamed.Changes())
        return std::string(text);
    std::string out;
    win::LineReader second(win::SourceOf(text));
    streamed.Apply(second, [&](std::string_view bytes) {
        out += bytes;
        return true;
    });
    return out;
}

std::string SetEntry(std::string_view text, std::string_view section, std::string_view key,
                     std::optional<std::string_view> value) {
    return Edited(text, {section, key, value});
}

std::string DeleteSection(std::string_view text, std::string_view section) {
    return Edited(text, {section, std::nullopt, std::nullopt});
}

} // namespace portable::ini
