// zepmachine reg export|query: the machine's registry as REGEDIT4 text, and single values.
#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_export.h"
#include "platform/portable/registry/regedit_format.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/quoted_input.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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
    "        it to the same registry. FILE is a path on the machine when it starts with a\n"
    "        drive letter (C:\\WINDOWS\\TEMP\\export.reg), a host path otherwise; it is\n"
    "        written under another name and takes FILE's place only when complete.\n"
    "query   prints the values of KEY, one per line as NAME<TAB>TYPE<TAB>DATA (@ is the\n"
    "        default value), then its subkeys as [NAME]; with NAME only TYPE<TAB>DATA.\n"
    "        Strings print as text (control characters as \\xNN), DWORDs as 0x%08x\n"
    "        (decimal), other data as hex bytes, REG_MULTI_SZ elements separated by \\0.\n"
    "        Exit status 1 when KEY or NAME is missing.\n";

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

// A name or text of the registry as printable text (control bytes escaped).
std::string Shown(std::string_view ansi) {
    return win::QuotedInput(win::FromAnsi(ansi), 0);
}

std::string DataText(DWORD type, const std::string& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::string_view text = data;
        while (!text.empty() && text.back() == '\0')
            text.remove_suffix(1);
        std::string out;
        for (size_t start = 0; start <= text.size();) {
            size_t end = std::min(text.find('\0', start), text.size());
            out += (start == 0 ? "" : "\\0") + Shown(text.substr(start, end - start));
            start = end + 1;
        }
        return out;
    }
    if (type == REG_DWORD && data.size() == 4) {
        DWORD n = portable::DwordOf(data);
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
        throw CliError("no such key: " + win::QuotedInput(args[0], 0));
    if (args.size() == 2) {
        auto value = store->GetValue(*id, win::ToAnsi(args[1]));
        if (!value)
            throw CliError("no value '" + win::QuotedInput(args[1], 0) + "' in " +
                           win::QuotedInput(args[0], 0));
        WriteStdout(portable::RegTypeName(value->type) + "\t" + DataText(value->type, value->data) +
                    "\n");
        return 0;
    }
    std::string out;
    for (const auto& v : store->Values(*id)) {
        std::string name = v.name.empty() ? "@" : Shown(v.name);
        out += name + "\t" + portable::RegTypeName(v.type) + "\t" + DataText(v.type, v.data) + "\n";
    }
    for (const auto& name : store->SubkeyNames(*id))
        out += "[" + Shown(name) + "]\n";
    WriteStdout(out);
    return 0;
}

bool HasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

void WriteAll(int fd, std::string_view bytes, const std::string& shown) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw CliError("cannot write " + shown + ": " + std::strerror(n < 0 ? errno : ENOSPC));
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

// The export goes to a new file beside the target, renamed over it only when complete, so
// a failure leaves whatever was there before.
void ExportToHostFile(const std::string& key, const std::string& output) {
    std::string temp = output + ".XXXXXX";
    portable::UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.valid())
        throw CliError("cannot write " + output + ": " + std::strerror(errno));
    try {
        portable::ExportRegistry(
            TheMachine(), key, [&](std::string_view piece) { WriteAll(fd.get(), piece, output); });
        if (::fchmod(fd.get(), 0644) != 0 || ::fsync(fd.get()) != 0)
            throw CliError("cannot write " + output + ": " + std::strerror(errno));
        if (::rename(temp.c_str(), output.c_str()) != 0)
            throw CliError("cannot write " + output + ": " + std::strerror(errno));
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
}

// A path with a drive letter is a file of the machine, written the same way through it.
void ExportToMachineFile(const std::string& key, const std::string& output) {
    portable::FileSystem& files = TheFiles();
    std::string target = win::ToAnsi(output);
    portable::WinPath parsed;
    if (files.Parse(target, parsed) != ERROR_SUCCESS || parsed.IsRoot())
        throw CliError(output + ": not a file path of the machine");
    std::string temp;
    portable::UniqueFd fd;
    DWORD rc = ERROR_FILE_EXISTS;
    for (int n = 0; n < 100 && rc == ERROR_FILE_EXISTS; ++n) {
        parsed.components.back() = "~EXP" + std::to_string((::getpid() + n) % 10000) + ".TMP";
        temp = parsed.ToString();
        using D = portable::OpenRequest::Disposition;
        rc = files.Open(temp, portable::OpenRequest{false, true, D::CreateNew, true}, fd);
    }
    if (rc != ERROR_SUCCESS)
        throw CliError("cannot write " + output + " (error " + std::to_string(rc) + ")");
    try {
        portable::ExportRegistry(
            TheMachine(), key, [&](std::string_view piece) { WriteAll(fd.get(), piece, output); });
        if (::fsync(fd.get()) != 0)
            throw CliError("cannot write " + output + ": " + std::strerror(errno));
        fd = portable::UniqueFd();
        if (DWORD rc = files.Move(temp, target, true); rc != ERROR_SUCCESS)
            throw CliError("cannot write " + output + " (error " + std::to_string(rc) + ")");
    } catch (...) {
        fd = portable::UniqueFd();
        files.DeleteFile(temp);
        throw;
    }
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
    std::string ansiKey = key.empty() ? "" : AnsiKey(key);
    try {
        if (output.empty())
            portable::ExportRegistry(TheMachine(), ansiKey,
                                     [](std::string_view piece) { WriteStdout(piece); });
        else if (HasDriveLetter(output))
            ExportToMachineFile(ansiKey, output);
        else
            ExportToHostFile(ansiKey, output);
    } catch (const portable::ExportError& e) {
        throw CliError(e.what());
    }
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
