#include "platform/portable/store/state_diff.h"

#include "platform/codepage.h"

#include <algorithm>
#include <string>
#include <tuple>

namespace portable {
namespace {

// Sort keys: bytes folded to upper case, the path separator made 1 and the separator
// between fields 0 (bytes 0 to 2 of a name are escaped by a 2), so that plain byte order
// puts a path right before what lies below it ("A" < "A\B" < "A B") and compares fields one
// after the other.
using SortKey = std::string;

void AppendByte(SortKey& key, unsigned char c) {
    if (c <= 2)
        key += '\x02';
    key += static_cast<char>(c);
}

void AppendFolded(SortKey& key, std::string_view text) {
    key.reserve(key.size() + text.size() + 1);
    for (char c : text) {
        if (c == '\\')
            key += '\x01';
        else
            AppendByte(key, win::AnsiUpper(static_cast<unsigned char>(c)));
    }
}

void AppendExact(SortKey& key, std::string_view text) {
    for (char c : text)
        AppendByte(key, static_cast<unsigned char>(c));
}

SortKey KeyOf(const FileRecord& r) {
    SortKey key;
    AppendFolded(key, r.path);
    return key;
}

SortKey KeyOf(const KeyRecord& r) {
    SortKey key;
    AppendFolded(key, r.path);
    return key;
}

SortKey KeyOf(const ValueRecord& r) {
    SortKey key;
    AppendFolded(key, r.key);
    key += '\0';
    AppendFolded(key, r.name);
    return key;
}

SortKey PlaceOf(const IniLine& r) {
    SortKey key;
    AppendFolded(key, r.file);
    key += '\0';
    AppendFolded(key, r.section);
    return key;
}

SortKey KeyOf(const IniLine& r) {
    SortKey key = PlaceOf(r);
    key += '\0';
    AppendExact(key, r.line);
    return key;
}

// The spelling of an entry's own name: the part after the last separator.
std::string_view OwnName(std::string_view path) {
    size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool SameRecord(const FileRecord& a, const FileRecord& b) {
    return OwnName(a.path) == OwnName(b.path) && a.size == b.size && a.attributes == b.attributes &&
           a.sha256 == b.sha256;
}
bool SameRecord(const KeyRecord& a, const KeyRecord& b) {
    return OwnName(a.path) == OwnName(b.path);
}
bool SameRecord(const ValueRecord& a, const ValueRecord& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}
bool SameRecord(const IniLine&, const IniLine&) {
    return true;
}

// Whether two records of one path can be one entry that changed.
bool SameKind(const FileRecord& a, const FileRecord& b) {
    return a.folder == b.folder;
}
template <class Record> bool SameKind(const Record&, const Record&) {
    return true;
}

template <class Record> struct Keyed {
    SortKey key;
    const Record* record;
};

template <class Record> std::vector<Keyed<Record>> Sorted(const std::vector<Record>& records) {
    std::vector<Keyed<Record>> keyed;
    keyed.reserve(records.size());
    for (const auto& r : records)
        keyed.push_back({KeyOf(r), &r});
    // Ties (only in a damaged store or INI duplicates) stay in recorded order.
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.key < b.key; });
    return keyed;
}

template <class Record>
std::vector<Difference<Record>> Merge(const std::vector<Record>& before,
                                      const std::vector<Record>& after) {
    auto old = Sorted(before);
    auto now = Sorted(after);
    std::vector<Difference<Record>> out;
    size_t i = 0, j = 0;
    while (i < old.size() || j < now.size()) {
        if (j == now.size() || (i < old.size() && old[i].key < now[j].key)) {
            out.push_back({old[i++].record, nullptr});
            continue;
        }
        if (i == old.size() || now[j].key < old[i].key) {
            out.push_back({nullptr, now[j++].record});
            continue;
        }
        const Record& a = *old[i++].record;
        const Record& b = *now[j++].record;
        if (!SameKind(a, b)) {
            out.push_back({&a, nullptr});
            out.push_back({nullptr, &b});
        } else if (!SameRecord(a, b)) {
            out.push_back({&a, &b});
        }
    }
    return out;
}

// INI lines come out by where they stand rather than by their text.
void SortByPosition(std::vector<Difference<IniLine>>& lines) {
    auto place = [](const Difference<IniLine>& d) {
        const IniLine& line = d.after ? *d.after : *d.before;
        return std::make_tuple(PlaceOf(line), line.index, d.after != nullptr);
    };
    std::stable_sort(lines.begin(), lines.end(),
                     [&](const auto& a, const auto& b) { return place(a) < place(b); });
}

template <class Record>
void Add(StateDiff::Counts& counts, const std::vector<Difference<Record>>& differences) {
    for (const auto& d : differences) {
        counts.added += d.Added();
        counts.changed += d.Changed();
        counts.removed += d.Removed();
    }
}

} // namespace

StateDiff CompareStates(const MachineState& before, const MachineState& after) {
    StateDiff diff;
    diff.files = Merge(before.files, after.files);
    diff.keys = Merge(before.keys, after.keys);
    diff.values = Merge(before.values, after.values);
    diff.iniLines = Merge(before.iniLines, after.iniLines);
    SortByPosition(diff.iniLines);
    return diff;
}

StateDiff::Counts StateDiff::Count() const {
    Counts counts;
    Add(counts, files);
    Add(counts, keys);
    Add(counts, values);
    Add(counts, iniLines);
    return counts;
}

bool StateDiff::Empty() const {
    return files.empty() && keys.empty() && values.empty() && iniLines.empty();
}

} // namespace portable
