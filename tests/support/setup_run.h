// Runs of the real setup program from the distribution folder on a fresh machine on a
// virtual clock, with a UI script, and what a test asks of the machine afterwards: its
// registry, files, transcript and exit status.
#pragma once

#include "support/run_scripts.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A registry value as stored: type and exact bytes.
struct RegData {
    std::uint32_t type = 0;
    std::string bytes;
    friend bool operator==(const RegData&, const RegData&) = default;
};
RegData Sz(std::string_view utf8);         // REG_SZ: Windows-1252 text and its NUL
RegData Dword(std::uint32_t value);        // REG_DWORD, little-endian
RegData Binary(std::vector<std::uint8_t>); // REG_BINARY
std::ostream& operator<<(std::ostream& out, const RegData& data);

// "HKEY_CLASSES_ROOT\zipFile" plus "\" and the value name ("" for the default), all
// UTF-8 with key names upper-cased as the registry compares them.
using RegistryDump = std::map<std::string, RegData>;

// A fresh machine on a virtual clock and the runs of the setup program on it.
class SetupMachine {
public:
    SetupMachine();
    virtual ~SetupMachine() = default;
    SetupMachine(const SetupMachine&) = delete;
    SetupMachine& operator=(const SetupMachine&) = delete;

    // Runs the distribution's setup program with the argument text and script; returns its
    // exit status (stderr in errors_).
    int Run(const std::string& script, const std::string& arguments = "");
    // Runs a program of the machine through `zepmachine run`.
    int RunOnMachine(const std::string& winPath, const std::string& arguments,
                     const std::string& script);
    // Starts the removal from the machine's list of removable programs, as the control
    // panel does (`zepmachine uninstall KEY`).
    int RunUninstall(const std::string& key, const std::string& script);
    std::vector<std::string> Transcript() const;
    // `zepmachine --machine M ARGS`; exit status, output (stdout and stderr) in out.
    int Zep(const std::string& arguments, std::string* out = nullptr) const;

    // The registry as it is now: every value, keyed as RegistryDump says, and every key.
    RegistryDump Registry() const;
    std::vector<std::string> Keys() const;
    std::optional<RegData> Value(const std::string& key, const std::string& name) const;

    // Host paths.
    std::filesystem::path Root() const { return dir_.path() / "m"; }
    std::filesystem::path C() const { return Root() / "drive_c"; }
    // The host path of a machine path such as "C:\Programme", by the machine's own
    // resolution; empty when it does not exist.
    std::filesystem::path Host(const std::string& winPath) const;
    // Sets a file's attributes through the machine (read-only, hidden, ...).
    void SetAttributes(const std::string& winPath, std::uint32_t attributes) const;
    // WININIT.INI of the machine, "" when missing.
    std::string WininitText() const;
    // The restart a program asked for ("reboot"), empty when none is pending.
    std::string PendingRestart() const;
    // A copy of the distribution folder the test may change; later runs start from it.
    std::filesystem::path CopyDistribution();

    std::filesystem::path dist_ = ZEPSETUP_DIST;
    // The user interface the runs use: "headless", or "qt" on Qt's offscreen platform
    // (the same UI scripts, played as input events in real windows).
    std::string ui_ = "headless";
    // Extra environment of the runs ("NAME=VALUE ...").
    std::string environment_;
    // A command the runs are started through ("setpriv ..." to run as another user).
    std::string runner_;

    TempDir dir_;
    std::string errors_;
};

class SetupRun : public ::testing::Test, public SetupMachine {
protected:
    using SetupMachine::Run;
};

// The interfaces a run can be made with, for tests that run under both.
inline constexpr const char* kInterfaces[] = {"headless", "qt"};

// Every folder, file and link below a host folder, by path relative to it (a folder's ends
// in '/'): a file's contents, a link's "-> " and where it points, "" for a folder.
std::map<std::string, std::string> FolderContents(const std::filesystem::path& dir);

// The canonical key of a value in a RegistryDump.
std::string DumpKey(const std::string& key, const std::string& name);

} // namespace testing_support
