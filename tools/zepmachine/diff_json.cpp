// The JSON form of a diff: one document, one difference per line.
#include "cli.h"
#include "diff_output.h"

#include "platform/codepage.h"
#include "platform/portable/registry/regedit_format.h"
#include "platform/portable/store/state_diff.h"
#include "platform/quoted_input.h"

#include <cstdio>

namespace zepmachine {

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    while (!utf8.empty()) {
        auto u = static_cast<unsigned char>(utf8[0]);
        size_t length = win::Utf8SequenceLength(utf8);
        if (length == 0) {
            out += "\\ufffd"; // not UTF-8: the replacement character keeps the document valid
            utf8.remove_prefix(1);
            continue;
        }
        if (u == '"' || u == '\\') {
            out += '\\';
            out += utf8[0];
        } else if (u == '\n') {
            out += "\\n";
        } else if (u == '\r') {
            out += "\\r";
        } else if (u == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out.append(utf8.substr(0, length));
        }
        utf8.remove_prefix(length);
    }
    return out + "\"";
}

namespace {

using portable::FileRecord;
using portable::IniLine;
using portable::KeyRecord;
using portable::ValueRecord;

// A Windows-1252 string as JSON.
std::string Ansi(std::string_view ansi) {
    return JsonString(win::FromAnsi(ansi));
}

std::string Field(std::string_view name, const std::string& json) {
    return "\"" + std::string(name) + "\":" + json;
}

std::string Object(const std::vector<std::string>& fields) {
    std::string out = "{";
    for (const auto& f : fields)
        out += (out.size() > 1 ? "," : "") + f;
    return out + "}";
}

std::vector<std::string> FileFields(const FileRecord& f) {
    std::vector<std::string> fields{Field("path", Ansi(f.path))};
    if (!f.folder)
        fields.push_back(Field("size", std::to_string(f.size)));
    fields.push_back(Field("attributes", JsonString(AttributeLetters(f.attributes))));
    if (!f.folder)
        fields.push_back(Field("sha256", JsonString(portable::HexText(f.sha256))));
    return fields;
}

// The text of a string value that holds just one string (ending in its only NUL).
bool IsText(const ValueRecord& v) {
    if (v.type != REG_SZ && v.type != REG_EXPAND_SZ)
        return false;
    return !v.data.empty() && v.data.find('\0') == v.data.size() - 1;
}

std::vector<std::string> ValueFields(const ValueRecord& v) {
    std::vector<std::string> fields{
        Field("name", Ansi(v.name)), Field("type", JsonString(portable::RegTypeName(v.type))),
        Field("hex", JsonString(portable::HexText(v.data.data(), v.data.size())))};
    if (IsText(v))
        fields.push_back(
            Field("text", Ansi(std::string_view(v.data).substr(0, v.data.size() - 1))));
    if (v.type == REG_DWORD && v.data.size() == 4) {
        fields.push_back(Field("dword", std::to_string(portable::DwordOf(v.data))));
    }
    return fields;
}

std::vector<std::string> With(std::vector<std::string> first,
                              const std::vector<std::string>& rest) {
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

std::string Kind(std::string_view kind) {
    return Field("kind", JsonString(kind));
}

std::string Item(const portable::Difference<FileRecord>& d) {
    const FileRecord& f = d.after ? *d.after : *d.before;
    std::string kind = Kind(f.folder ? "folder" : "file");
    if (!d.Changed())
        return Object(With({kind}, FileFields(f)));
    return Object({kind, Field("path", Ansi(f.path)), Field("old", Object(FileFields(*d.before))),
                   Field("new", Object(FileFields(f)))});
}

std::string Item(const portable::Difference<KeyRecord>& d) {
    const KeyRecord& k = d.after ? *d.after : *d.before;
    if (!d.Changed())
        return Object({Kind("key"), Field("path", Ansi(k.path))});
    return Object({Kind("key"), Field("path", Ansi(k.path)),
                   Field("old", Object({Field("path", Ansi(d.before->path))})),
                   Field("new", Object({Field("path", Ansi(k.path))}))});
}

std::string Item(const portable::Difference<ValueRecord>& d) {
    const ValueRecord& v = d.after ? *d.after : *d.before;
    std::vector<std::string> head{Kind("value"), Field("key", Ansi(v.key))};
    if (!d.Changed())
        return Object(With(head, ValueFields(v)));
    head.push_back(Field("name", Ansi(v.name)));
    head.push_back(Field("old", Object(ValueFields(*d.before))));
    head.push_back(Field("new", Object(ValueFields(v))));
    return Object(head);
}

std::string Item(const portable::Difference<IniLine>& d) {
    const IniLine& l = d.after ? *d.after : *d.before;
    return Object({Kind("ini"), Field("file", Ansi(l.file)), Field("section", Ansi(l.section)),
                   Field("line", Ansi(l.line))});
}

// The items of one list ("added", "changed" or "removed"), in the order of the groups.
class Lists {
public:
    template <class Record> void Add(const std::vector<portable::Difference<Record>>& list) {
        for (const auto& d : list) {
            std::string& to = d.Added() ? added_ : d.Removed() ? removed_ : changed_;
            to += to.empty() ? "\n  " : ",\n  ";
            to += Item(d);
        }
    }
    void AppendTo(std::string& out) const {
        Append(out, "added", added_);
        out += ",\n";
        Append(out, "changed", changed_);
        out += ",\n";
        Append(out, "removed", removed_);
    }

private:
    static void Append(std::string& out, std::string_view name, const std::string& items) {
        out += Field(name, "[");
        out += items;
        out += items.empty() ? "]" : "\n]";
    }
    std::string added_, changed_, removed_;
};

} // namespace

std::string DiffJson(const portable::StateDiff& diff, std::string_view snapshot,
                     std::string_view taken) {
    Lists lists;
    lists.Add(diff.files);
    lists.Add(diff.keys);
    lists.Add(diff.values);
    lists.Add(diff.iniLines);
    auto counts = diff.Count();
    std::string out = "{" + Field("snapshot", JsonString(snapshot)) + "," +
                      Field("taken", JsonString(win::FromAnsi(win::ToAnsi(taken)))) + ",\n";
    lists.AppendTo(out);
    out += ",\n" +
           Field("counts", Object({Field("added", std::to_string(counts.added)),
                                   Field("changed", std::to_string(counts.changed)),
                                   Field("removed", std::to_string(counts.removed))})) +
           "}\n";
    return out;
}

} // namespace zepmachine
