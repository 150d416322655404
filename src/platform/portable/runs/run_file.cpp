#include "platform/portable/runs/run_file.h"

#include <cerrno>
#include <unistd.h>

namespace portable {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool Escaped(unsigned char c) {
    return c < 0x20 || c == 0x7f || c == '%' || c == '~';
}

void PutField(std::string& line, const std::optional<std::string>& field) {
    if (!field) {
        line += '~';
        return;
    }
    std::string_view text = *field;
    for (size_t at = 0; at < text.size();) {
        size_t plain = at;
        while (plain < text.size() && !Escaped(static_cast<unsigned char>(text[plain])))
            ++plain;
        line.append(text, at, plain - at);
        if (plain == text.size())
            return;
        unsigned char c = static_cast<unsigned char>(text[plain]);
        line += '%';
        line += kHex[c >> 4];
        line += kHex[c & 15];
        at = plain + 1;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::optional<std::string>> TakeField(std::string_view text) {
    if (text == "~")
        return std::optional<std::string>();
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        size_t escape = text.find('%', at);
        std::string_view plain = text.substr(at, escape - at);
        for (char c : plain) {
            if (Escaped(static_cast<unsigned char>(c)))
                return std::nullopt;
        }
        out += plain;
        if (escape == std::string_view::npos)
            break;
        int high = escape + 1 < text.size() ? HexDigit(text[escape + 1]) : -1;
        int low = escape + 2 < text.size() ? HexDigit(text[escape + 2]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        at = escape + 3;
    }
    return std::optional<std::string>(std::move(out));
}

std::optional<RunRecord> ParseLine(std::string_view line) {
    RunRecord record;
    size_t tab = line.find('\t');
    if (tab == 0 || tab == std::string_view::npos)
        return std::nullopt;
    record.kind = line.substr(0, tab);
    for (size_t at = tab + 1;; at = tab + 1) {
        tab = line.find('\t', at);
        auto field = TakeField(line.substr(at, tab == std::string_view::npos ? tab : tab - at));
        if (!field)
            return std::nullopt;
        record.fields.push_back(std::move(*field));
        if (tab == std::string_view::npos)
            break;
    }
    if (!record.fields.front())
        return std::nullopt;
    record.token = std::move(*record.fields.front());
    record.fields.erase(record.fields.begin());
    return record;
}

} // namespace

std::string RecordLine(const RunRecord& record) {
    std::string line = "\n" + record.kind + "\t";
    PutField(line, record.token);
    for (const auto& field : record.fields) {
        line += '\t';
        PutField(line, field);
    }
    line += '\n';
    return line;
}

bool ReadRecords(int fd, const std::function<void(const RunRecord&)>& take, std::string_view only) {
    std::string wanted = only.empty() ? std::string() : std::string(only) + "\t";
    std::string line;
    bool tooLong = false;
    char buffer[1 << 16];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true; // a last line without its end was cut short: no record
        for (std::string_view chunk(buffer, static_cast<size_t>(got)); !chunk.empty();) {
            size_t end = chunk.find('\n');
            std::string_view part = chunk.substr(0, end);
            tooLong = tooLong || line.size() + part.size() > kMostRecordLine;
            if (!tooLong)
                line += part;
            if (end == std::string_view::npos)
                break;
            if (!tooLong && !line.empty() && line.starts_with(wanted)) {
                if (auto record = ParseLine(line))
                    take(*record);
            }
            line.clear();
            tooLong = false;
            chunk.remove_prefix(end + 1);
        }
    }
}

} // namespace portable
