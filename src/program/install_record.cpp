#include "program/install_record.h"

#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/win_types.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>

namespace app::record {
namespace {

using WinRegistry::Root;
using WinRegistry::Stored;

constexpr std::array<std::string_view, 7> kStepNames = {
    "Lizenz",    "MachUninstEx",        "DateiTypenSchreiben", "KnotextExVerscheidenes",
    "TaskBarEx", "SysSymboleschreiben", "RefreshShellIcons",
};

// One string of the record: a key the installation created, or a value with its states.
struct Item {
    bool isKey = false;
    Target target;
    std::optional<Stored> before;
    bool afterKnown = false;
    std::optional<Stored> after;
    std::vector<Stored> intended; // while afterKnown is false
};

// The whole record, with an index by identity (step, position).
struct Book {
    std::array<std::vector<Item>, kStepNames.size()> groups;
    std::array<bool, kStepNames.size()> changed{};
    std::map<std::string, std::pair<size_t, size_t>> index;
};

std::string_view RootName(Root root) {
    if (root == WinRegistry::HKCR)
        return "HKCR";
    if (root == WinRegistry::HKCU)
        return "HKCU";
    return "HKLM";
}

std::optional<Root> RootOf(std::string_view name) {
    if (name == "HKCR")
        return WinRegistry::HKCR;
    if (name == "HKCU")
        return WinRegistry::HKCU;
    if (name == "HKLM")
        return WinRegistry::HKLM;
    return std::nullopt;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

int Digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unhex(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = Digit(text[i]), low = Digit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

// "-" missing, "?" not known, else "TYPE:HEX".
std::string EncodeState(bool known, const std::optional<Stored>& state) {
    if (!known)
        return "?";
    if (!state)
        return "-";
    return std::to_string(state->type) + ":" + Hex(state->bytes);
}

bool DecodeState(std::string_view text, bool& known, std::optional<Stored>& state) {
    known = text != "?";
    state.reset();
    if (!known || text == "-")
        return true;
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 10)
        return false;
    std::uint32_t type = 0;
    for (char c : text.substr(0, colon)) {
        if (c < '0' || c > '9')
            return false;
        type = type * 10 + static_cast<std::uint32_t>(c - '0');
    }
    std::optional<std::string> bytes = Unhex(text.substr(colon + 1));
    if (!bytes)
        return false;
    state = Stored{type, std::move(*bytes)};
    return true;
}

// What the installation left: its state, or "~" and what the unfinished step writes, or
// "?" when that is not known either.
std::string EncodeLeft(const Item& item) {
    if (item.afterKnown || item.intended.empty())
        return EncodeState(item.afterKnown, item.after);
    std::string text;
    for (const Stored& state : item.intended)
        text += "~" + EncodeState(true, state);
    return text;
}

bool DecodeLeft(std::string_view text, Item& item) {
    if (!text.starts_with('~'))
        return DecodeState(text, item.afterKnown, item.after);
    item.afterKnown = false;
    item.intended.clear();
    while (!text.empty()) {
        text.remove_prefix(1);
        size_t next = text.find('~');
        bool known = false;
        std::optional<Stored> state;
        if (!DecodeState(text.substr(0, next), known, state) || !state)
            return false;
        item.intended.push_back(std::move(*state));
        text.remove_prefix(next == std::string_view::npos ? text.size() : next);
    }
    return true;
}

// Strings in the record are ANSI, as the registry stores them.
std::string Encode(const Item& item) {
    std::string root(RootName(item.target.root));
    if (item.isKey)
        return "K\t" + root + "\t" + win::ToAnsi(item.target.key);
    return "V\t" + EncodeState(true, item.before) + "\t" + EncodeLeft(item) + "\t" + root + "\t" +
           win::ToAnsi(item.target.key) + "\t" + win::ToAnsi(item.target.name);
}

// The fields of s split at tabs, at most count of them (the last takes the rest).
std::vector<std::string_view> Fields(std::string_view s, size_t count) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        size_t tab = s.find('\t');
        if (tab == std::string_view::npos)
            break;
        fields.push_back(s.substr(0, tab));
        s.remove_prefix(tab + 1);
    }
    fields.push_back(s);
    return fields;
}

std::optional<Item> Decode(std::string_view s) {
    Item item;
    if (s.starts_with("K\t")) {
        std::vector<std::string_view> f = Fields(s, 3);
        std::optional<Root> root = f.size() == 3 ? RootOf(f[1]) : std::nullopt;
        if (!root || f[2].empty())
            return std::nullopt;
        item.isKey = true;
        item.target = {*root, win::FromAnsi(f[2]), ""};
        return item;
    }
    std::vector<std::string_view> f = Fields(s, 6);
    if (f.size() != 6 || f[0] != "V")
        return std::nullopt;
    std::optional<Root> root = RootOf(f[3]);
    bool beforeKnown = false;
    if (!root || f[4].empty() || !DecodeState(f[1], beforeKnown, item.before) || !beforeKnown ||
        !DecodeLeft(f[2], item))
        return std::nullopt;
    item.target = {*root, win::FromAnsi(f[4]), win::FromAnsi(f[5])};
    return item;
}

std::vector<Item> ReadGroup(size_t step) {
    std::optional<Stored> stored =
        WinRegistry::ReadStored(WinRegistry::HKLM, kRecordKey, kStepNames[step]);
    std::vector<Item> items;
    if (!stored || stored->type != REG_MULTI_SZ)
        return items;
    std::string_view rest = stored->bytes;
    while (!rest.empty()) {
        size_t end = rest.find('\0');
        std::string_view s = rest.substr(0, end);
        if (s.empty())
            break;
        if (std::optional<Item> item = Decode(s))
            items.push_back(std::move(*item));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return items;
}

std::string Upper(std::string_view utf8) {
    return win::AnsiUpper(win::ToAnsi(utf8));
}

std::string Identity(bool isKey, const Target& target) {
    return std::string(isKey ? "K" : "V") + std::string(RootName(target.root)) + "\t" +
           Upper(target.key) + "\t" + Upper(target.name);
}

// Adds item to the step's group unless the record holds it already (the first one wins).
void Add(Book& book, size_t step, Item item) {
    std::string id = Identity(item.isKey, item.target);
    if (book.index.count(id))
        return;
    book.index[id] = {step, book.groups[step].size()};
    book.groups[step].push_back(std::move(item));
    book.changed[step] = true;
}

Book ReadBook() {
    Book book;
    for (size_t step = 0; step < kStepNames.size(); ++step) {
        for (Item& item : ReadGroup(step))
            Add(book, step, std::move(item));
        book.changed[step] = false;
    }
    return book;
}

void Save(const Book& book) {
    for (size_t step = 0; step < kStepNames.size(); ++step) {
        if (!book.changed[step])
            continue;
        std::string bytes;
        for (const Item& item : book.groups[step])
            bytes += Encode(item) + '\0';
        bytes += '\0';
        if (!WinRegistry::WriteStored(WinRegistry::HKLM, kRecordKey, kStepNames[step],
                                      {REG_MULTI_SZ, bytes}))
            forms::Raise(forms::kPathFileAccessError);
    }
}

Item* Find(Book& book, bool isKey, const Target& target, size_t* step = nullptr) {
    auto it = book.index.find(Identity(isKey, target));
    if (it == book.index.end())
        return nullptr;
    if (step)
        *step = it->second.first;
    return &book.groups[it->second.first][it->second.second];
}

std::string Parent(std::string_view key) {
    size_t slash = key.rfind('\\');
    return slash == std::string_view::npos ? std::string() : std::string(key.substr(0, slash));
}

// The key and every key above it that does not exist yet, as created by the installation.
void AddMissingKeys(Book& book, size_t step, Root root, const std::string& key) {
    for (std::string path = key; !path.empty() && !WinRegistry::KeyExists(root, path);
         path = Parent(path)) {
        Add(book, step, Item{true, Target{root, path, ""}, {}, false, {}, {}});
    }
}

// The keys of the record's path. Before the record holds anything, a record key that holds
// nothing was made by an installation cut off before it could write the record's first
// value: it counts as created, and so does each key above it that holds nothing but it.
void AddRecordKeys(Book& book, size_t step) {
    const Root root = WinRegistry::HKLM;
    if (!book.index.empty() || !WinRegistry::KeyIsEmpty(root, kRecordKey)) {
        AddMissingKeys(book, step, root, kRecordKey);
        return;
    }
    std::string below;
    for (std::string path = kRecordKey; !path.empty(); path = Parent(path)) {
        if (!below.empty()) {
            std::vector<std::string> subKeys = WinRegistry::SubKeyNames(root, path);
            std::string child = below.substr(path.size() + 1);
            if (!WinRegistry::ValueNames(root, path).empty() || subKeys.size() != 1 ||
                Upper(subKeys[0]) != Upper(child))
                break;
        }
        Add(book, step, Item{true, Target{root, path, ""}, {}, false, {}, {}});
        below = path;
    }
}

// The suite's own keys (its product keys, its verbs, its uninstall entry) all have a part
// named Zepanu...: the removal deletes them whole.
bool SuitesOwn(const Target& target) {
    std::string key = Upper(target.key);
    for (size_t start = 0; start <= key.size();) {
        if (key.compare(start, 6, "ZEPANU") == 0)
            return true;
        size_t slash = key.find('\\', start);
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return false;
}

size_t Depth(const std::string& key) {
    return static_cast<size_t>(std::count(key.begin(), key.end(), '\\'));
}

} // namespace

Stored Text(std::string_view utf8) {
    return {REG_SZ, win::ToAnsi(utf8) + '\0'};
}

Stored Number(std::uint32_t number) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((number >> (8 * i)) & 0xff);
    return {REG_DWORD, bytes};
}

void Before(Step step, const std::vector<Target>& targets) {
    auto s = static_cast<size_t>(step);
    Book book = ReadBook();
    AddRecordKeys(book, s);
    for (const Target& target : targets) {
        AddMissingKeys(book, s, target.root, target.key);
        if (SuitesOwn(target))
            continue;
        size_t at = s;
        Item* item = Find(book, false, target, &at);
        if (!item) {
            Add(book, s,
                Item{false,
                     target,
                     WinRegistry::ReadStored(target.root, target.key, target.name),
                     false,
                     {},
                     {}});
            item = Find(book, false, target, &at);
        }
        // Until the step has finished, the value holds what was left there before (by an
        // earlier step or installation) or what this step writes.
        std::vector<Stored> may = item->intended;
        if (item->afterKnown)
            may = item->after ? std::vector<Stored>{*item->after} : std::vector<Stored>{};
        for (const Stored& data : target.writes) {
            if (std::find(may.begin(), may.end(), data) == may.end())
                may.push_back(data);
        }
        item->intended = std::move(may);
        item->afterKnown = false;
        item->after.reset();
        book.changed[at] = true;
    }
    Save(book);
}

void After(Step, const std::vector<Target>& targets) {
    Book book = ReadBook();
    for (const Target& target : targets) {
        size_t s = 0;
        Item* item = Find(book, false, target, &s);
        if (!item)
            continue;
        item->afterKnown = true;
        item->after = WinRegistry::ReadStored(target.root, target.key, target.name);
        item->intended.clear();
        book.changed[s] = true;
    }
    Save(book);
}

Record Record::Read() {
    Record record;
    Book book = ReadBook();
    for (const auto& group : book.groups) {
        for (const Item& item : group) {
            if (item.isKey) {
                record.createdKeys_.push_back(item.target);
                record.created_.insert(Identity(true, item.target));
            } else {
                record.held_[Identity(false, item.target)] = record.values_.size();
                record.values_.push_back(
                    {item.target, item.before, item.afterKnown, item.after, item.intended});
            }
        }
    }
    return record;
}

bool Record::Holds(Root root, std::string_view key, std::string_view name) const {
    return held_.count(Identity(false, {root, std::string(key), std::string(name)})) > 0;
}

std::vector<Entry> Record::Changed(const std::function<bool(const Target&)>& which) const {
    std::vector<Entry> changed;
    for (const Entry& e : values_) {
        if ((!e.afterKnown || e.before != e.after) && which(e.target))
            changed.push_back(e);
    }
    return changed;
}

bool Record::Untouched(const Target& key) const {
    for (const std::string& name : WinRegistry::ValueNames(key.root, key.key)) {
        auto it = held_.find(Identity(false, {key.root, key.key, name}));
        if (it == held_.end())
            return false;
        const Entry& e = values_[it->second];
        if (e.before || !e.Left(WinRegistry::ReadStored(key.root, key.key, name)))
            return false;
    }
    for (const std::string& name : WinRegistry::SubKeyNames(key.root, key.key)) {
        Target sub{key.root, key.key + "\\" + name, ""};
        if (!created_.count(Identity(true, sub)) || !Untouched(sub))
            return false;
    }
    return true;
}

void Record::DeleteUntouchedKeys() const {
    for (const Target& key : createdKeys_) {
        // The highest of them: a key whose parent the installation did not create.
        Target parent{key.root, Parent(key.key), ""};
        if (!parent.key.empty() && created_.count(Identity(true, parent)))
            continue;
        if (WinRegistry::KeyExists(key.root, key.key) && Untouched(key))
            WinRegistry::DeleteKey(key.root, key.key);
    }
}

void Record::Finish() const {
    std::vector<Target> keys = createdKeys_;
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Target& a, const Target& b) { return Depth(a.key) > Depth(b.key); });
    auto deleteEmpty = [&] {
        for (const Target& key : keys) {
            if (WinRegistry::KeyIsEmpty(key.root, key.key))
                WinRegistry::DeleteKey(key.root, key.key);
        }
    };
    deleteEmpty();
    WinRegistry::DeleteKey(WinRegistry::HKLM, kRecordKey);
    deleteEmpty();
}

bool Entry::Left(const std::optional<Stored>& now) const {
    if (afterKnown)
        return now == after;
    return now && std::find(intended.begin(), intended.end(), *now) != intended.end();
}

void GiveBack(const Entry& entry, const std::optional<std::string>& programFolder) {
    const Target& t = entry.target;
    std::optional<Stored> now = WinRegistry::ReadStored(t.root, t.key, t.name);
    if (!entry.Left(now) && (entry.afterKnown || !PointsInto(now, programFolder)))
        return;
    bool given = entry.before ? WinRegistry::WriteStored(t.root, t.key, t.name, *entry.before)
                              : WinRegistry::DeleteStored(t.root, t.key, t.name);
    if (!given)
        forms::Raise(forms::kPathFileAccessError);
}

bool PointsInto(const std::optional<Stored>& value, const std::optional<std::string>& folder) {
    if (!value || !folder || folder->empty() ||
        (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
        return false;
    std::string text = value->bytes;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return win::AnsiUpper(text).find(Upper(*folder)) != std::string::npos;
}

} // namespace app::record
