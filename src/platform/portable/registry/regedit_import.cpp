#include "platform/portable/registry/regedit_import.h"

#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_format.h"
#include "platform/portable/registry/registry_limits.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/store/sqlite_db.h"
#include "platform/quoted_input.h"
#include "platform/text_lines.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <unordered_map>

namespace portable {
namespace {

// Problems of one kind past this many are counted, not quoted: a script of nothing but bad
// lines must not grow the report and the journal by a line each.
constexpr int kProblemsPerKind = 10;

using win::StartsWithNoCase;
constexpr auto TrimLeft = win::TrimLeftBlanks;
constexpr auto TrimRight = win::TrimRightBlanks;

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 1 to maxDigits hex digits and nothing else.
bool ParseHexNumber(std::string_view s, size_t maxDigits, DWORD& out) {
    if (s.empty() || s.size() > maxDigits)
        return false;
    out = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0)
            return false;
        out = (out << 4) | static_cast<DWORD>(d);
    }
    return true;
}

// The file's lines without their line break (LF or CR LF).
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    bool Next(std::string_view& line) {
        if (pos_ >= text_.size())
            return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos_ = end + 1;
        ++number_;
        return true;
    }
    int number() const { return number_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int number_ = 0;
};

// A quoted text starting after its opening quote; rest is left behind the closing quote.
// \" and \\ stand for the character; any other backslash is kept as written.
bool ParseQuoted(std::string_view& rest, std::string& out) {
    out.clear();
    for (size_t i = 0; i < rest.size(); ++i) {
        char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < rest.size() && (rest[i + 1] == '"' || rest[i + 1] == '\\'))
            c = rest[++i];
        out += c;
    }
    return false;
}

size_t LongestName(std::string_view path) {
    size_t longest = 0;
    for (size_t start = 0; start <= path.size();) {
        size_t end = std::min(path.find('\\', start), path.size());
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    return longest;
}

struct ParsedValue {
    std::string name;
    bool remove = false;
    DWORD type = REG_NONE;
    std::string data;
};

// A byte list "xx,xx,..." (blanks around the bytes and one final comma allowed).
bool ParseBytes(std::string_view list, std::string& out) {
    out.clear();
    list = TrimRight(TrimLeft(list));
    if (list.empty())
        return true;
    if (list.back() == ',')
        list.remove_suffix(1);
    while (true) {
        size_t comma = list.find(',');
        std::string_view token = TrimRight(TrimLeft(list.substr(0, comma)));
        DWORD byte = 0;
        if (!ParseHexNumber(token, 2, byte))
            return false;
        out += static_cast<char>(byte);
        if (comma == std::string_view::npos)
            return true;
        list.remove_prefix(comma + 1);
    }
}

// hex: or hex(N): data; a list ending in '\' goes on in the next line.
const char* ParseHex(std::string_view text, Lines& lines, ParsedValue& value) {
    std::string_view after = text.substr(3);
    value.type = REG_BINARY;
    if (!after.empty() && after.front() == '(') {
        size_t close = after.find(')');
        if (close == std::string_view::npos ||
            !ParseHexNumber(after.substr(1, close - 1), 8, value.type))
            return "invalid value type";
        after.remove_prefix(close + 1);
    }
    if (after.empty() || after.front() != ':')
        return "invalid value type";
    std::string list(TrimRight(after.substr(1)));
    std::string_view next;
    while (!list.empty() && list.back() == '\\' && lines.Next(next)) {
        list.pop_back();
        list += TrimRight(TrimLeft(next));
    }
    if (!list.empty() && list.back() == '\\')
        list.pop_back(); // continued past the end of the file
    if (!ParseBytes(list, value.data))
        return "invalid hex data";
    return nullptr;
}

// The part after '='. Returns the reason when the data cannot be taken.
const char* ParseData(std::string_view text, Lines& lines, ParsedValue& value) {
    text = TrimLeft(text);
    if (!text.empty() && text.front() == '"') {
        text.remove_prefix(1);
        std::string s;
        if (!ParseQuoted(text, s))
            return "unterminated string";
        if (!TrimRight(text).empty())
            return "text after the value";
        value.type = REG_SZ;
        value.data = std::move(s);
        value.data += '\0';
        return nullptr;
    }
    if (TrimRight(text) == "-") {
        value.remove = true;
        return nullptr;
    }
    if (StartsWithNoCase(text, "dword:")) {
        DWORD number = 0;
        if (!ParseHexNumber(TrimRight(text.substr(6)), 8, number))
            return "invalid dword value";
        value.type = REG_DWORD;
        value.data = DwordData(number);
        return nullptr;
    }
    if (StartsWithNoCase(text, "hex"))
        return ParseHex(text, lines, value);
    return "unknown value type";
}

class Importer {
public:
    Importer(RegistryStore& store, std::string_view label, ImportReport& report)
        : store_(store), label_(label), report_(report) {}

    void Run(Lines& lines) {
        std::string_view line;
        while (lines.Next(line)) {
            int number = lines.number();
            line = TrimLeft(line);
            if (TrimRight(line).empty() || line.front() == ';')
                continue;
            if (line.front() == '[')
                KeyLine(number, line);
            else if (line.front() == '"' || line.front() == '@')
                ValueLine(number, line, lines);
            else
                Problem(number, "line not understood", line);
        }
    }

private:
    void Problem(int number, std::string_view reason, std::string_view line) {
        ++report_.linesSkipped;
        int& seen = problemsOfKind_[std::string(reason)];
        if (++seen > kProblemsPerKind)
            return;
        report_.problems.push_back(
            label_ + ":" + std::to_string(number) + ": " + std::string(reason) + ": " +
            win::QuotedInput(win::FromAnsi(line.substr(0, 4 * win::kQuotedInputLimit))));
    }

public:
    // One line per kind of problem that had more lines than were quoted.
    void CountTheRest() {
        for (const auto& [reason, seen] : problemsOfKind_) {
            if (seen > kProblemsPerKind)
                report_.problems.push_back(label_ + ": " + std::to_string(seen - kProblemsPerKind) +
                                           " more lines skipped: " + reason);
        }
    }

private:
    // Until the next key line, values go to key (none: they are skipped silently).
    void Enter(std::optional<KeyId> key) { current_ = key; }

    KeyId RootKey(const RootName& root) {
        if (!root.classes)
            return root.key;
        if (!classes_)
            classes_ = store_.ClassesRoot();
        return *classes_;
    }

    void KeyLine(int number, std::string_view line) {
        Enter(std::nullopt);
        sawKeyLine_ = true;
        std::string_view full = TrimRight(line);
        if (full.size() < 2 || full.back() != ']')
            return Problem(number, "key line without closing ]", line);
        std::string_view inner = full.substr(1, full.size() - 2);
        bool remove = !inner.empty() && inner.front() == '-';
        if (remove)
            inner.remove_prefix(1);
        size_t slash = inner.find('\\');
        std::string_view rootName = inner.substr(0, slash);
        std::string_view path = slash == std::string_view::npos ? "" : inner.substr(slash + 1);
        auto root = FindRoot(rootName);
        if (!root)
            return Problem(number, "unknown root key", line);
        if (LongestName(path) > kMaxKeyNameLength)
            return Problem(
                number, "key name longer than " + std::to_string(kMaxKeyNameLength) + " characters",
                line);
        std::vector<std::string_view> parts;
        if (!SplitKeyPath(path, parts) || path.find('\0') != std::string_view::npos)
            return Problem(number, "invalid key name", line);
        if (parts.size() + (root->classes ? 2 : 0) > kMaxKeyDepth)
            return Problem(number, "key deeper than " + std::to_string(kMaxKeyDepth) + " levels",
                           line);
        if (remove)
            return DeleteKey(number, line, RootKey(*root), path);
        Enter(CreateKey(*root, parts));
    }

    // Each step is remembered by its parent and name, not by the whole path above it, so a
    // deep key costs memory in proportion to its line.
    KeyId CreateKey(const RootName& root, const std::vector<std::string_view>& parts) {
        KeyId at = RootKey(root);
        std::string memo;
        for (auto part : parts) {
            memo = std::to_string(at) + '\\' + win::AnsiUpper(part);
            if (auto hit = created_.find(memo); hit != created_.end()) {
                at = hit->second;
                continue;
            }
            bool fresh = false;
            at = store_.CreateChild(at, part, fresh);
            report_.keysCreated += fresh ? 1 : 0;
            created_.emplace(std::move(memo), at);
        }
        return at;
    }

    void DeleteKey(int number, std::string_view line, KeyId root, std::string_view path) {
        if (TrimRight(path).empty())
            return Problem(number, "a root key cannot be deleted", line);
        auto key = store_.FindKey(root, path);
        if (!key)
            return; // deleting what is not there does nothing
        std::int64_t keys = 0;
        std::int64_t values = 0;
        store_.DeleteKey(*key, keys, values);
        report_.keysDeleted += keys;
        report_.valuesDeleted += values; // they went with their keys
        created_.clear();
        classes_.reset();
    }

    void ValueLine(int number, std::string_view line, Lines& lines) {
        ParsedValue value;
        std::string_view rest = line;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else {
            rest.remove_prefix(1);
            if (!ParseQuoted(rest, value.name))
                return Problem(number, "unterminated value name", line);
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return Problem(number, "expected = after the value name", line);
        // The data is read (continuation lines included) before anything is decided.
        const char* reason = ParseData(rest.substr(1), lines, value);
        if (reason)
            return Problem(number, reason, line);
        if (value.name.find('\0') != std::string::npos)
            return Problem(number, "invalid value name", line);
        if (value.name.size() > kMaxValueNameLength)
            return Problem(number,
                           "value name longer than " + std::to_string(kMaxValueNameLength) +
                               " characters",
                           line);
        if (!sawKeyLine_)
            return Problem(number, "value outside a key", line);
        if (!current_)
            return; // under a key line that was not taken
        Apply(value);
    }

    void Apply(const ParsedValue& value) {
        if (value.remove) {
            report_.valuesDeleted += store_.DeleteValue(*current_, value.name) ? 1 : 0;
            return;
        }
        store_.SetValue(*current_, value.name, value.type, value.data);
        ++report_.valuesSet;
    }

    RegistryStore& store_;
    std::string label_;
    ImportReport& report_;
    std::optional<KeyId> current_;
    bool sawKeyLine_ = false;
    std::optional<KeyId> classes_;
    std::unordered_map<std::string, KeyId> created_; // "PARENT\UPPER NAME" -> key
    std::map<std::string, int> problemsOfKind_;      // reason -> lines
};

std::string Summary(std::string_view label, const ImportReport& r) {
    std::string text = "regedit " + std::string(label) + ": " + std::to_string(r.keysCreated) +
                       " keys created, " + std::to_string(r.valuesSet) + " values set, " +
                       std::to_string(r.keysDeleted) + " keys deleted, " +
                       std::to_string(r.valuesDeleted) + " values deleted";
    if (r.linesSkipped > 0)
        text += ", " + std::to_string(r.linesSkipped) + " lines skipped";
    return text;
}

void JournalQuietly(Machine& machine, const std::string& entry) {
    try {
        machine.Journal(entry);
    } catch (const StoreError&) {
        // the failure itself is reported to the caller
    }
}

} // namespace

ImportReport ImportRegistryScript(Machine& machine, std::string_view script,
                                  std::string_view label) {
    ImportReport report;
    std::string name(label);
    Lines lines(script);
    std::string_view first;
    if (!lines.Next(first) || TrimRight(first) != "REGEDIT4") {
        report.problems.push_back(name + ":1: not a registry script (the first line must be "
                                         "REGEDIT4); nothing imported");
        JournalQuietly(machine, "regedit " + report.problems.back());
        return report;
    }
    try {
        auto store = RegistryStore::Of(machine);
        Transaction txn(machine.store());
        store->Validate();
        Importer importer(*store, name, report);
        importer.Run(lines);
        importer.CountTheRest();
        for (const auto& problem : report.problems)
            machine.Journal("regedit " + problem);
        machine.Journal(Summary(name, report));
        txn.Commit();
        report.accepted = true;
    } catch (const std::exception& e) { // the store, or memory for a huge script
        report = ImportReport{};
        report.problems.push_back(name + ": the registry could not be written (" + e.what() +
                                  "); nothing imported");
        JournalQuietly(machine, "regedit " + report.problems.back());
    }
    return report;
}

} // namespace portable
