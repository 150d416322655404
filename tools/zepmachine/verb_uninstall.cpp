// zepmachine uninstall: the machine's list of removable programs, and starting one's
// removal as the control panel does.
#include "cli.h"

#include "platform/advapi32.h"
#include "platform/codepage.h"
#include "platform/quoted_input.h"

#include <algorithm>
#include <optional>

namespace zepmachine {

extern const Verb kUninstallVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine uninstall KEY\n"
    "       zepmachine uninstall --list\n"
    "\n"
    "The machine's removable programs: the keys below\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall.\n"
    "  KEY     starts the command line in the key's UninstallString on the machine (its\n"
    "          program is a Windows path, quoted when it holds blanks; the rest is its\n"
    "          argument text), printing it first, and waits for it; the exit status is\n"
    "          the program's\n"
    "  --list  one line per entry: KEY, a tab, and its DisplayName\n"
    "\n"
    "What the registry holds is printed with control characters as \\xNN and cut after\n"
    "100 characters.\n";

// How much of a registry text a line shows, as diff shows data.
constexpr size_t kShownWidth = 100;

// A text of the machine's registry on the terminal: control bytes escaped, cut when long.
std::string Shown(std::string_view utf8) {
    return win::QuotedInput(utf8, kShownWidth);
}

constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class Key {
public:
    explicit Key(const std::string& subKey) {
        if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, &key_) !=
            ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key() {
        if (key_)
            win::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

    // A string value (REG_SZ or REG_EXPAND_SZ) in UTF-8, or nothing.
    std::optional<std::string> String(const char* name) const {
        DWORD type = 0, size = 0;
        if (!key_ ||
            win::RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        std::string data(size, '\0');
        if (win::RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                  &size) != ERROR_SUCCESS)
            return std::nullopt;
        data.resize(std::min<size_t>(size, data.find('\0')));
        return win::FromAnsi(data);
    }

private:
    HKEY key_ = nullptr;
};

int List() {
    Key list(kUninstallKey);
    std::string out;
    for (DWORD i = 0; list.get(); ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (win::RegEnumKeyExA(list.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        Key entry(std::string(kUninstallKey) + "\\" + std::string(name, size));
        std::string display = entry.String("DisplayName").value_or("");
        out += Shown(win::FromAnsi(std::string_view(name, size))) + "\t" + Shown(display) + "\n";
    }
    WriteStdout(out);
    return 0;
}

// The program and the argument text of a command line: a program in double quotes or up
// to the first blank, then the rest after its blanks.
std::pair<std::string, std::string> SplitProgram(const std::string& line) {
    size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos)
        return {};
    size_t end;
    std::string program;
    if (line[start] == '"') {
        end = line.find('"', start + 1);
        program = line.substr(start + 1, end - start - 1);
        end = end == std::string::npos ? line.size() : end + 1;
    } else {
        end = std::min(line.find(' ', start), line.size());
        program = line.substr(start, end - start);
    }
    size_t rest = line.find_first_not_of(' ', end);
    return {program, rest == std::string::npos ? std::string() : line.substr(rest)};
}

int Uninstall(std::span<const std::string> args) {
    if (args.size() == 1 && args[0] == "--list")
        return List();
    ExpectArgs(args, 1, 1, kUsage);
    RefuseUnchangeable(TheMachine());
    Key entry(std::string(kUninstallKey) + "\\" + win::ToAnsi(args[0]));
    if (!entry.get())
        throw CliError(Shown(args[0]) +
                       ": no such removable program (see zepmachine uninstall --list)");
    std::optional<std::string> command = entry.String("UninstallString");
    if (!command || command->empty())
        throw CliError(Shown(args[0]) + ": its entry has no UninstallString");
    WriteStdout("starting " + Shown(*command) + "\n");
    auto [program, arguments] = SplitProgram(*command);
    return RunMachineProgram(program, arguments);
}

} // namespace

const Verb kUninstallVerb{"uninstall", "list the removable programs, or start one's removal",
                          kUsage, Uninstall};

} // namespace zepmachine
