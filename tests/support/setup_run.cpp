#include "support/setup_run.h"

#include "platform/advapi32.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/restart.h"

#include <cstring>
#include <functional>
#include <iomanip>
#include <sstream>

namespace testing_support {
namespace fs = std::filesystem;

namespace {

std::string Upper(const std::string& utf8) {
    return win::FromAnsi(win::AnsiUpper(win::ToAnsi(utf8)));
}

// HKEY_CLASSES_ROOT is a view of HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
std::string CanonicalKey(const std::string& key) {
    constexpr std::string_view kClasses = "HKEY_CLASSES_ROOT";
    std::string upper = Upper(key);
    if (upper.starts_with(kClasses))
        return "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES" + upper.substr(kClasses.size());
    return upper;
}

// Opens the machine for the duration of one look at it.
class OpenedMachine {
public:
    explicit OpenedMachine(const fs::path& root) {
        portable::UseMachine(portable::Machine::Open(root));
    }
    ~OpenedMachine() { portable::UseMachine(nullptr); }
};

struct RootKey {
    HKEY handle;
    const char* name;
};
const RootKey kRoots[] = {{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                          {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"}};

void Walk(HKEY key, const std::string& path, RegistryDump* values, std::vector<std::string>* keys) {
    if (keys)
        keys->push_back(Upper(path));
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD size = 0;
        if (win::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        nameSize = sizeof name;
        win::RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size);
        if (values)
            (*values)[DumpKey(path, win::FromAnsi(std::string_view(name, nameSize)))] = {type,
                                                                                         data};
    }
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD nameSize = sizeof name;
        if (win::RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (win::RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        Walk(sub, path + "\\" + win::FromAnsi(std::string_view(name, nameSize)), values, keys);
        win::RegCloseKey(sub);
    }
}

} // namespace

RegData Sz(std::string_view utf8) {
    std::string ansi = win::ToAnsi(utf8);
    ansi.push_back('\0');
    return {REG_SZ, ansi};
}

RegData Dword(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return {REG_DWORD, bytes};
}

RegData Binary(std::vector<std::uint8_t> bytes) {
    return {REG_BINARY, std::string(bytes.begin(), bytes.end())};
}

std::ostream& operator<<(std::ostream& out, const RegData& data) {
    out << "type " << data.type << " [";
    if (data.type == REG_SZ && !data.bytes.empty() && data.bytes.back() == '\0')
        return out << '"' << win::FromAnsi(data.bytes.substr(0, data.bytes.size() - 1)) << "\"]";
    for (unsigned char c : data.bytes)
        out << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(c) << ' ';
    return out << std::dec << "]";
}

std::map<std::string, std::string> FolderContents(const fs::path& dir) {
    std::map<std::string, std::string> contents;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string path = e.path().lexically_relative(dir).string();
        if (e.is_symlink())
            contents[path] = "-> " + fs::read_symlink(e.path()).string();
        else if (e.is_directory())
            contents[path + "/"] = "";
        else
            contents[path] = ReadHostFile(e.path());
    }
    return contents;
}

std::string DumpKey(const std::string& key, const std::string& name) {
    return CanonicalKey(key) + "\\\"" + Upper(name) + "\"";
}

SetupMachine::SetupMachine() {
    EXPECT_EQ(Zep("init " + Root().string() + " >/dev/null"), 0);
    EXPECT_EQ(Zep("clock virtual >/dev/null"), 0);
}

int SetupMachine::Zep(const std::string& arguments, std::string* out) const {
    return RunCommand(std::string(ZEPMACHINE_BIN) + " --machine " + Root().string() + " " +
                          arguments + " 2>&1",
                      out);
}

// The start of a run's command line: its folder, its environment, then extra (more
// environment, and the command the program is started through).
static std::string Environment(const fs::path& dir, const fs::path& root, const std::string& ui,
                               const std::string& extra) {
    std::string qt = ui == "qt" ? " QT_QPA_PLATFORM=offscreen" : "";
    return "cd " + dir.string() + " && ZEPSETUP_MACHINE=" + root.string() + " ZEPSETUP_UI=" + ui +
           qt + " ZEPSETUP_UI_SCRIPT=run.ui ZEPSETUP_TRANSCRIPT=run.log ZEPMACHINE=" +
           std::string(ZEPMACHINE_BIN) + " " + extra + " ";
}

int SetupMachine::Run(const std::string& script, const std::string& arguments) {
    WriteHostFile(dir_.path() / "run.ui", script);
    std::string command = Environment(dir_.path(), Root(), ui_, environment_ + " " + runner_) +
                          (dist_ / "zepsetup").string() + " " + arguments + " 2>errors.txt";
    int status = RunCommand(command);
    errors_ = ReadHostFile(dir_.path() / "errors.txt");
    return status;
}

int SetupMachine::RunOnMachine(const std::string& winPath, const std::string& arguments,
                               const std::string& script) {
    WriteHostFile(dir_.path() / "run.ui", script);
    std::string quoted = winPath;
    for (size_t at = quoted.find('\''); at != std::string::npos; at = quoted.find('\'', at + 4))
        quoted.replace(at, 1, "'\\''");
    std::string command = Environment(dir_.path(), Root(), ui_, environment_ + " " + runner_) +
                          ZEPMACHINE_BIN + " --machine " + Root().string() + " run '" + quoted +
                          "' " + arguments + " 2>errors.txt";
    int status = RunCommand(command);
    errors_ = ReadHostFile(dir_.path() / "errors.txt");
    return status;
}

int SetupMachine::RunUninstall(const std::string& key, const std::string& script) {
    WriteHostFile(dir_.path() / "run.ui", script);
    std::string command = Environment(dir_.path(), Root(), ui_, environment_ + " " + runner_) +
                          ZEPMACHINE_BIN + " --machine " + Root().string() + " uninstall '" + key +
                          "' 2>errors.txt";
    int status = RunCommand(command);
    errors_ = ReadHostFile(dir_.path() / "errors.txt");
    return status;
}

std::vector<std::string> SetupMachine::Transcript() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadHostFile(dir_.path() / "run.log"));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

RegistryDump SetupMachine::Registry() const {
    OpenedMachine open(Root());
    RegistryDump dump;
    for (const RootKey& root : kRoots)
        Walk(root.handle, root.name, &dump, nullptr);
    return dump;
}

std::vector<std::string> SetupMachine::Keys() const {
    OpenedMachine open(Root());
    std::vector<std::string> keys;
    for (const RootKey& root : kRoots)
        Walk(root.handle, root.name, nullptr, &keys);
    return keys;
}

std::optional<RegData> SetupMachine::Value(const std::string& key, const std::string& name) const {
    RegistryDump dump = Registry();
    auto it = dump.find(DumpKey(key, name));
    if (it == dump.end())
        return std::nullopt;
    return it->second;
}

fs::path SetupMachine::Host(const std::string& winPath) const {
    OpenedMachine open(Root());
    fs::path host;
    if (portable::CurrentFileSystem().HostPath(win::ToAnsi(winPath), host) != ERROR_SUCCESS)
        return {};
    return host;
}

void SetupMachine::SetAttributes(const std::string& winPath, std::uint32_t attributes) const {
    OpenedMachine open(Root());
    EXPECT_TRUE(win::SetFileAttributesA(win::ToAnsi(winPath).c_str(), attributes)) << winPath;
}

std::string SetupMachine::WininitText() const {
    fs::path host = Host("C:\\WINDOWS\\WININIT.INI");
    return host.empty() ? std::string() : ReadHostFile(host);
}

std::string SetupMachine::PendingRestart() const {
    OpenedMachine open(Root());
    return portable::PendingRestart(portable::CurrentMachine());
}

fs::path SetupMachine::CopyDistribution() {
    fs::path copy = dir_.path() / "dist";
    fs::copy(ZEPSETUP_DIST, copy, fs::copy_options::recursive);
    dist_ = copy;
    return copy;
}

} // namespace testing_support
