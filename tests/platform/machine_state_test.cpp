// Machine states: what a snapshot reads, how two states compare, how a state is stored.
#include "platform/portable/store/machine_state.h"

#include "platform/kernel32.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/snapshot_store.h"
#include "platform/portable/store/sqlite_db.h"
#include "platform/portable/store/state_codec.h"
#include "platform/portable/store/state_diff.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using portable::FileRecord;
using portable::MachineState;
using testing_support::TempDir;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

std::map<std::string, FileRecord> FilesByPath(const MachineState& state) {
    std::map<std::string, FileRecord> files;
    for (const auto& f : state.files)
        files[f.path] = f;
    return files;
}

std::int64_t Rows(portable::Machine& machine, const std::string& table) {
    auto& stmt = machine.store().Prepare("SELECT count(*) FROM " + table);
    stmt.Step();
    std::int64_t n = stmt.Int(0);
    stmt.Reset();
    return n;
}

TEST(CaptureState, RecordsWhatWindowsSeesWithStoredAttributes) {
    TestMachine m;
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Versteckt", nullptr));
    ASSERT_TRUE(win::SetFileAttributesA("C:\\Versteckt", FILE_ATTRIBUTE_HIDDEN));
    WriteHostFile(m.DriveC() / "WINDOWS" / "Sch\xC3\xBCtzt.txt", "abc");
    ASSERT_TRUE(win::SetFileAttributesA("C:\\WINDOWS\\Sch\xFCtzt.txt", FILE_ATTRIBUTE_READONLY |
                                                                           FILE_ATTRIBUTE_SYSTEM |
                                                                           FILE_ATTRIBUTE_ARCHIVE));
    TempDir outside;
    WriteHostFile(outside.path() / "secret.txt", "secret");
    fs::create_symlink(outside.path(), m.DriveC() / "link");
    fs::create_symlink(outside.path() / "secret.txt", m.DriveC() / "secret.txt");
    ASSERT_EQ(::mkfifo((m.DriveC() / "fifo").c_str(), 0600), 0); // would block a reader
    WriteHostFile(m.DriveC() / "neu.txt", "new");                // no alias yet

    std::int64_t names = Rows(m.machine(), "names");
    std::int64_t journal = Rows(m.machine(), "journal");
    MachineState state = portable::CaptureState(m.machine());
    EXPECT_EQ(Rows(m.machine(), "names"), names) << "a snapshot assigns no aliases";
    EXPECT_EQ(Rows(m.machine(), "journal"), journal);

    auto files = FilesByPath(state);
    ASSERT_TRUE(files.count("C:\\Versteckt"));
    EXPECT_TRUE(files["C:\\Versteckt"].folder);
    EXPECT_EQ(files["C:\\Versteckt"].attributes, DWORD{FILE_ATTRIBUTE_HIDDEN});
    const FileRecord& shut = files["C:\\WINDOWS\\Sch\xFCtzt.txt"];
    EXPECT_EQ(shut.attributes, DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM});
    EXPECT_EQ(shut.size, 3u);
    EXPECT_EQ(shut.sha256, portable::Sha256::Of("abc"));
    EXPECT_EQ(files["C:\\neu.txt"].attributes, 0u);
    EXPECT_TRUE(files.count("C:\\WINDOWS\\SYSTEM"));
    for (const char* hidden : {"C:\\link", "C:\\secret.txt", "C:\\fifo"})
        EXPECT_FALSE(files.count(hidden)) << hidden;

    auto has = [&](std::string_view file, std::string_view section, std::string_view line) {
        return std::any_of(state.iniLines.begin(), state.iniLines.end(), [&](const auto& l) {
            return l.file == file && l.section == section && l.line == line;
        });
    };
    EXPECT_TRUE(has("C:\\WINDOWS\\SYSTEM.INI", "boot", "shell=Explorer.exe")) << "baseline";
    auto key = std::find_if(state.values.begin(), state.values.end(),
                            [](const auto& v) { return v.name == "Shell Icon Size"; });
    ASSERT_NE(key, state.values.end());
    EXPECT_EQ(key->key, "HKEY_CURRENT_USER\\Control Panel\\desktop\\WindowMetrics");
    EXPECT_EQ(key->data, std::string("32\0", 3));
}

TEST(CaptureState, ReadsOnlyDrivesInsideTheMachineFolder) {
    TestMachine m;
    portable::Machine& machine = m.machine();
    TempDir dist;
    WriteHostFile(dist.path() / "SETUP.EXE", "setup");
    fs::create_directories(m.root() / "drive_e");
    WriteHostFile(m.root() / "drive_e" / "DATEN.TXT", "daten");
    machine.MapRunOnlyDrive('D', dist.path());
    machine.MapDrive('E', DRIVE_CDROM, m.root() / "drive_e");
    machine.MapDrive('F', DRIVE_FIXED, m.root());

    auto files = FilesByPath(portable::CaptureState(machine));
    EXPECT_TRUE(files.count("E:\\DATEN.TXT"));
    EXPECT_TRUE(files.count("F:\\drive_c\\WINDOWS\\WIN.INI"));
    for (const auto& [path, record] : files) {
        EXPECT_FALSE(path.starts_with("D:")) << path;
        EXPECT_FALSE(path.starts_with("F:\\machine.db")) << path;
    }
}

TEST(CaptureState, RefusesADriveWhoseFolderIsALink) {
    TestMachine m;
    TempDir outside;
    fs::create_symlink(outside.path(), m.root() / "nach_draussen");
    m.machine().MapDrive('G', DRIVE_FIXED, m.root() / "nach_draussen");
    try {
        portable::CaptureState(m.machine());
        ADD_FAILURE() << "a linked drive folder was read";
    } catch (const portable::MachineError& e) {
        EXPECT_NE(
            std::string(e.what()).find("drive G: its folder nach_draussen is a symbolic link"),
            std::string::npos)
            << e.what();
    }
}

MachineState Sample() {
    MachineState s;
    s.files = {{"C:\\A", true, 0, 0, {}},
               {"C:\\A B", false, 3, FILE_ATTRIBUTE_READONLY, portable::Sha256::Of("abc")},
               {"C:\\A\\x.txt", false, 1, 0, portable::Sha256::Of("x")},
               {"C:\\Wird", false, 1, 0, portable::Sha256::Of("w")}};
    s.keys = {{"HKEY_CURRENT_USER\\Software"}, {"HKEY_CURRENT_USER\\Software\\Alt"}};
    s.values = {{"HKEY_CURRENT_USER\\Software", "Name", REG_SZ, std::string("a\0", 2)},
                {"HKEY_CURRENT_USER\\Software\\Alt", "", REG_BINARY, std::string("\0\xff", 2)}};
    s.iniLines = {{"C:\\WINDOWS\\WIN.INI", "windows", "load=", 0},
                  {"C:\\WINDOWS\\WIN.INI", "windows", "x=1", 1},
                  {"C:\\WINDOWS\\WIN.INI", "windows", "x=1", 2}};
    return s;
}

// "+ C:\A" for an addition, "~", "-"; the path or key\name of the entry.
template <class Record, class Name>
std::vector<std::string> Lines(const std::vector<portable::Difference<Record>>& list, Name name) {
    std::vector<std::string> lines;
    for (const auto& d : list)
        lines.push_back((d.Added()     ? "+ "
                         : d.Removed() ? "- "
                                       : "~ ") +
                        name(d.after ? *d.after : *d.before));
    return lines;
}

TEST(CompareStates, MatchesWithoutCaseInTreeOrder) {
    MachineState before = Sample();
    EXPECT_TRUE(portable::CompareStates(before, before).Empty());

    MachineState after = Sample();
    after.files[0].path = "C:\\a";        // only the case of its own name
    after.files[2].path = "C:\\a\\X.TXT"; // only the case: of its own name too
    after.files[1].attributes = 0;        // A B: attributes
    after.files[3].folder = true;         // Wird: a folder now
    after.files[3].size = 0;
    after.files.push_back({"C:\\A\\Neu", true, 0, 0, {}});
    after.keys[0].path = "HKEY_CURRENT_USER\\SOFTWARE";      // case of the key's own name
    after.keys[1].path = "HKEY_CURRENT_USER\\SOFTWARE\\Alt"; // case of a parent only
    after.values[0].key = "HKEY_CURRENT_USER\\SOFTWARE";
    after.values[1] = {"HKEY_CURRENT_USER\\software\\alt", "", REG_NONE, std::string("\0\xff", 2)};
    after.values.push_back({"HKEY_CURRENT_USER\\Software", "name", REG_SZ, "b"}); // a duplicate
    after.iniLines.pop_back();
    after.iniLines.push_back({"C:\\WINDOWS\\win.ini", "WINDOWS", "load=", 3});

    auto diff = portable::CompareStates(before, after);
    auto path = [](const auto& r) { return r.path; };
    EXPECT_EQ(Lines(diff.files, path),
              (std::vector<std::string>{"~ C:\\a", "+ C:\\A\\Neu", "~ C:\\a\\X.TXT", "~ C:\\A B",
                                        "- C:\\Wird", "+ C:\\Wird"}));
    EXPECT_EQ(Lines(diff.keys, path), (std::vector<std::string>{"~ HKEY_CURRENT_USER\\SOFTWARE"}));
    auto value = [](const portable::ValueRecord& v) { return v.key + "\\" + v.name; };
    EXPECT_EQ(Lines(diff.values, value),
              (std::vector<std::string>{"+ HKEY_CURRENT_USER\\Software\\name",
                                        "~ HKEY_CURRENT_USER\\software\\alt\\"}));
    auto line = [](const portable::IniLine& l) { return l.line + " @" + std::to_string(l.index); };
    EXPECT_EQ(Lines(diff.iniLines, line), (std::vector<std::string>{"- x=1 @2", "+ load= @3"}));
    auto counts = diff.Count();
    EXPECT_EQ(counts.added, 4u);
    EXPECT_EQ(counts.changed, 5u);
    EXPECT_EQ(counts.removed, 2u);
}

TEST(StateCodec, RoundTripsAndRefusesEveryDamagedForm) {
    std::string encoded = portable::EncodeState(Sample());
    MachineState decoded = portable::DecodeState(encoded);
    EXPECT_EQ(portable::EncodeState(decoded), encoded);
    EXPECT_TRUE(portable::CompareStates(Sample(), decoded).Empty());
    EXPECT_EQ(decoded.values[1].data, std::string("\0\xff", 2));
    EXPECT_EQ(decoded.files[1].sha256, portable::Sha256::Of("abc"));

    for (size_t size = 0; size < encoded.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_THROW(portable::DecodeState(encoded.substr(0, size)), portable::DamagedState);
    }
    EXPECT_THROW(portable::DecodeState(encoded + '\0'), portable::DamagedState);
    std::string version = encoded;
    version[8] = 2;
    EXPECT_THROW(portable::DecodeState(version), portable::DamagedState);
    // A count far beyond the data is refused before anything is reserved for it.
    std::string huge = encoded;
    huge.replace(12, 4, "\xff\xff\xff\x7f");
    EXPECT_THROW(portable::DecodeState(huge), portable::DamagedState);
    std::string flag = encoded;
    flag[16 + 4 + 4] = 7; // the first file's folder flag, after its 4-byte path
    EXPECT_THROW(portable::DecodeState(flag), portable::DamagedState);
}

TEST(SnapshotStore, NamesListsAndAMachineWithoutSnapshots) {
    for (std::string_view name : {"a", "vor-install_1.0+x", "A9"})
        EXPECT_TRUE(portable::IsValidSnapshotName(name)) << name;
    for (std::string_view name : {"", "-a", ".a", "a/b", "..", "a b", "\xC3\xA4", "a\n"})
        EXPECT_FALSE(portable::IsValidSnapshotName(name)) << name;
    EXPECT_FALSE(portable::IsValidSnapshotName(std::string(65, 'a')));

    TestMachine m;
    portable::Machine& machine = m.machine();
    portable::SnapshotInfo info;
    EXPECT_TRUE(portable::ListSnapshots(machine).empty());
    EXPECT_FALSE(portable::DeleteSnapshot(machine, "x"));
    EXPECT_THROW(portable::LoadSnapshot(machine, "x", info), portable::SnapshotError);
    EXPECT_EQ(Rows(machine, "sqlite_master WHERE name = 'snapshots'"), 0) << "reads make nothing";

    portable::SaveSnapshot(machine, "b", Sample());
    MachineState other = Sample();
    other.keys.pop_back();
    portable::SaveSnapshot(machine, "a", other);
    portable::SaveSnapshot(machine, "b", other); // replaces
    auto list = portable::ListSnapshots(machine);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "a");
    EXPECT_EQ(list[1].name, "b");
    EXPECT_EQ(list[1].keys, 1);
    EXPECT_EQ(list[1].files, 4);
    EXPECT_EQ(portable::LoadSnapshot(machine, "b", info).keys.size(), 1u);
    EXPECT_EQ(info.iniLines, 3);
    EXPECT_THROW(portable::SaveSnapshot(machine, "../b", other), portable::SnapshotError);
    EXPECT_TRUE(portable::DeleteSnapshot(machine, "b"));
    EXPECT_EQ(portable::ListSnapshots(machine).size(), 1u);
}

} // namespace
