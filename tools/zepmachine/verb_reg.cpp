// zepmachine reg export|query: the machine's registry as REGEDIT4 text, and single values.
#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/regedit_export.h"
#include "platform/portable/regedit_format.h"
#include "platform/portable/registry_store.h"

#include <cstdio>
#include <fstream>

namespace zepmachine {

extern const Verb kRegVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine reg export [KEY] [-o FILE]\n"
    "       zepmachine reg query KEY [NAME]\n"
    "\n"
    "KEY starts with its root: HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER (HKCU) or\n"
    "HKEY_CLASSES_ROOT (HKCR), e.g. 'HKCU\\Control Panel\\desktop\\WindowMetrics'.\n"
    "\n"
    "export  writes KEY with its subtree (default: the whole registry) as a REGEDIT4 script,\n"
    "        Windows-1252 with CR LF, to FILE or stdout. `zepmachine regedit /s` re-imports\n"
    "        it to the same registry.\n"
    "query   prints the values of KEY, one per line as NAME<TAB>TYPE<TAB>DATA (@ is the\n"
    "        default value), then its subkeys as [NAME]; with NAME only TYPE<TAB>DATA.\n"
    "        Strings print as text, DWORDs as 0x%08x (decimal), other data as hex bytes,\n"
    "        REG_MULTI_SZ elements separated by \\0. Exit status 1 when KEY or NAME is missing.\n";

std::string AnsiKey(std::string key) {
    struct Short {
        std::string_view shortName, longName;
    };
    static constexpr Short kShort[] = {{"HKLM", "HKEY_LOCAL_MACHINE"},
                                       {"HKCU", "HKEY_CURRENT_USER"},
                                       {"HKCR", "HKEY_CLASSES_ROOT"}};
    std::string ansi = win::ToAnsi(key);
    std::string_view root = std::string_view(ansi).substr(0, ansi.find('\\'));
    for (const auto& s : kShort) {
        if (win::AnsiEqualsNoCase(root, s.shortName))
            return std::string(s.longName) + ansi.substr(root.size());
    }
    return ansi;
}

std::string DataText(DWORD type, const std::string& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::string text = data;
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        std::string out;
        for (char c : win::FromAnsi(text))
            out += c == '\0' ? std::string("\\0") : std::string(1, c);
        return out;
    }
    if (type == REG_DWORD && data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
        char text[48];
        std::snprintf(text, sizeof text, "0x%08x (%u)", n, n);
        return text;
    }
    std::string out;
    char hex[4];
    for (unsigned char c : data) {
        std::snprintf(hex, sizeof hex, out.empty() ? "%02x" : " %02x", c);
        out += hex;
    }
    return out;
}

std::optional<portable::KeyId> FindKey(portable::RegistryStore& store, const std::string& key) {
    size_t slash = key.find('\\');
    auto root = portable::FindRoot(std::string_view(key).substr(0, slash));
    if (!root)
        throw CliError("unknown root key in " + win::FromAnsi(key), 2);
    portable::KeyId start = root->classes ? store.ClassesRoot() : root->key;
    return store.FindKey(start, slash == std::string::npos ? "" : key.substr(slash + 1));
}

int Query(std::span<const std::string> args) {
    ExpectArgs(args, 1, 2, "zepmachine reg query KEY [NAME]");
    auto store = portable::RegistryStore::Of(TheMachine());
    store->Validate();
    std::string key = AnsiKey(args[0]);
    auto id = FindKey(*store, key);
    if (!id)
        throw CliError("no such key: " + args[0]);
    if (args.size() == 2) {
        auto value = store->GetValue(*id, win::ToAnsi(args[1]));
        if (!value)
            throw CliError("no value '" + args[1] + "' in " + args[0]);
        std::printf("%s\t%s\n", portable::RegTypeName(value->type).c_str(),
                    DataText(value->type, value->data).c_str());
        return 0;
    }
    for (const auto& v : store->Values(*id)) {
        std::string name = v.name.empty() ? "@" : win::FromAnsi(v.name);
        std::printf("%s\t%s\t%s\n", name.c_str(), portable::RegTypeName(v.type).c_str(),
                    DataText(v.type, v.data).c_str());
    }
    for (const auto& name : store->SubkeyNames(*id))
        std::printf("[%s]\n", win::FromAnsi(name).c_str());
    return 0;
}

int Export(std::span<const std::string> args) {
    std::string key;
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            output = args[++i];
        else if (!args[i].starts_with("-") && key.empty())
            key = args[i];
        else
            throw CliError("usage: zepmachine reg export [KEY] [-o FILE]", 2);
    }
    std::string text;
    try {
        text = portable::ExportRegistry(TheMachine(), key.empty() ? "" : AnsiKey(key));
    } catch (const portable::ExportError& e) {
        throw CliError(e.what());
    }
    if (output.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush())
        throw CliError("cannot write " + output);
    return 0;
}

int Run(std::span<const std::string> args) {
    if (args.empty())
        throw CliError("usage: zepmachine reg export|query ...", 2);
    if (args[0] == "export")
        return Export(args.subspan(1));
    if (args[0] == "query")
        return Query(args.subspan(1));
    throw CliError("unknown reg command '" + args[0] + "' (export or query)", 2);
}

} // namespace

const Verb kRegVerb{"reg", "export the registry or query a key or value", kUsage, Run};

} // namespace zepmachine
