// The shortcut toolkit on a fresh machine: where folder arguments lead, what the links
// hold (read back by our reader and by Debian's lnkinfo), replacement, removal, names
// outside ASCII, and arguments that try to leave the drive.
#include "platform/shortcut_toolkit.h"

#include "platform/advapi32.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/portable/shell/shell_link.h"

#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

const std::string kTarget = "C:\\PROGRA~1\\DOVEK'~1\\Zepanu.exe";

class ShortcutToolkit : public ::testing::Test {
protected:
    TestMachine m;

    fs::path Programs() const { return m.DriveC() / "WINDOWS" / "Startmenü" / "Programme"; }

    // Names of the entries of a host folder.
    static std::set<std::string> Listing(const fs::path& dir) {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.insert(e.path().filename().string());
        return names;
    }

    static portable::ShellLink Read(const fs::path& host) {
        portable::ShellLink link;
        std::string error;
        EXPECT_TRUE(portable::DecodeShellLink(ReadHostFile(host), link, error))
            << host << ": " << error;
        return link;
    }

    void SetPrograms(const std::string& ansi) {
        HKEY key;
        ASSERT_EQ(win::RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                     "Shell Folders",
                                     0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        ASSERT_EQ(win::RegSetValueExA(key, "Programs", 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(ansi.c_str()),
                                      static_cast<DWORD>(ansi.size() + 1)),
                  ERROR_SUCCESS);
        win::RegCloseKey(key);
    }
};

TEST_F(ShortcutToolkit, FolderArgumentsAreRelativeToPrograms) {
    struct Row {
        const char* folder;
        fs::path host;
    } rows[] = {
        {"\\Dovek's Zepanu's 1.0", Programs() / "Dovek's Zepanu's 1.0"},
        {"Gruppe", Programs() / "Gruppe"},
        {"Gruppe\\Hilfe\\", Programs() / "Gruppe" / "Hilfe"},
        {"..\\..\\Desktop", m.DriveC() / "WINDOWS" / "Desktop"},
        {"", Programs()},
        {nullptr, Programs()},
        {"\\..\\Zubehör\\.\\..\\Programme", Programs()},
        {"\\\\Server\\Freigabe", Programs() / "Server" / "Freigabe"}, // no network paths
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder ? row.folder : "(null)");
        std::string folder = row.folder ? win::ToAnsi(row.folder) : "";
        LPCSTR argument = row.folder ? folder.c_str() : nullptr;
        EXPECT_EQ(win::fCreateShellFolder(argument), 1);
        EXPECT_TRUE(fs::is_directory(row.host));
        EXPECT_EQ(win::fCreateShellLink(argument, "Zepanu", kTarget.c_str(), ""), 1);
        EXPECT_TRUE(fs::is_regular_file(row.host / "Zepanu.lnk"));
        EXPECT_EQ(win::fRemoveShellLink(argument, "Zepanu"), 1);
        EXPECT_FALSE(fs::exists(row.host / "Zepanu.lnk"));
    }
}

TEST_F(ShortcutToolkit, ProgramsComesFromTheRegistry) {
    SetPrograms("C:\\Andere Programme");
    ASSERT_EQ(win::fCreateShellLink("Gruppe", "Zepanu", kTarget.c_str(), ""), 1);
    EXPECT_TRUE(fs::exists(m.DriveC() / "Andere Programme" / "Gruppe" / "Zepanu.lnk"));

    // Without a usable value nothing is made anywhere.
    for (const char* value : {"", "Startmenü", "\\WINDOWS", "Q:\\Programme"}) {
        SCOPED_TRACE(value);
        SetPrograms(win::ToAnsi(value));
        EXPECT_EQ(win::fCreateShellFolder("Gruppe"), 0);
        EXPECT_EQ(win::fCreateShellLink("Gruppe", "Zepanu", kTarget.c_str(), ""), 0);
    }
}

TEST_F(ShortcutToolkit, FoldersAreMadeWithTheirParents) {
    EXPECT_EQ(win::fCreateShellFolder("\\Dovek's Zepanu's 1.0\\Extras\\Werkzeuge"), 1);
    EXPECT_TRUE(fs::is_directory(Programs() / "Dovek's Zepanu's 1.0" / "Extras" / "Werkzeuge"));
    EXPECT_EQ(win::fCreateShellFolder("\\Dovek's Zepanu's 1.0\\Extras\\Werkzeuge"), 1);
    // Folders get 8.3 aliases like any other.
    char shortPath[MAX_PATH];
    std::string path = win::ToAnsi("C:\\WINDOWS\\Startmenü\\Programme\\Dovek's Zepanu's 1.0");
    EXPECT_GT(win::GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath), 0u);

    // A file in the way is no folder, for a folder or for a link inside it.
    WriteHostFile(Programs() / "Datei", "x");
    EXPECT_EQ(win::fCreateShellFolder("Datei"), 0);
    EXPECT_EQ(win::fCreateShellFolder("Datei\\Unter"), 0);
    EXPECT_EQ(win::fCreateShellLink("Datei", "Zepanu", kTarget.c_str(), ""), 0);
    EXPECT_EQ(ReadHostFile(Programs() / "Datei"), "x");

    // Invalid names are refused.
    EXPECT_EQ(win::fCreateShellFolder("Gr<u>ppe"), 0);
    EXPECT_EQ(win::fCreateShellFolder("C:\\Gruppe"), 0);
    EXPECT_FALSE(fs::exists(Programs() / "Gruppe"));
}

TEST_F(ShortcutToolkit, TheLinkHoldsTargetArgumentsFolderAndIcon) {
    // The target need not exist: the header then holds no size, attributes or times.
    ASSERT_EQ(win::fCreateShellLink("\\Gruppe", "Zepanu", kTarget.c_str(), "/s \"a b\""), 1);
    const fs::path linkFile = Programs() / "Gruppe" / "Zepanu.lnk";
    portable::ShellLink link = Read(linkFile);
    EXPECT_EQ(link.target, kTarget);
    EXPECT_EQ(link.arguments, "/s \"a b\"");
    EXPECT_EQ(link.workingDir, "C:\\PROGRA~1\\DOVEK'~1");
    EXPECT_EQ(link.iconLocation, kTarget);
    EXPECT_EQ(link.iconIndex, 0);
    EXPECT_EQ(link.showCommand, portable::kShowNormal);
    EXPECT_EQ(link.driveType, DRIVE_FIXED);
    EXPECT_EQ(link.fileSize, 0u);
    EXPECT_EQ(link.fileAttributes, 0u);
    EXPECT_EQ(link.writeTime.dwHighDateTime, 0u);

    // An existing target fills them in; no arguments means none stored.
    fs::create_directories(m.DriveC() / "Programme" / "Zepanu");
    WriteHostFile(m.DriveC() / "Programme" / "Zepanu" / "Zepanu.exe", std::string(1234, 'Z'));
    ASSERT_EQ(win::fCreateShellLink("", "Zepanu", "C:\\Programme\\Zepanu\\Zepanu.exe", nullptr), 1);
    link = Read(Programs() / "Zepanu.lnk");
    EXPECT_EQ(link.target, "C:\\Programme\\Zepanu\\Zepanu.exe");
    EXPECT_EQ(link.arguments, "");
    EXPECT_EQ(link.workingDir, "C:\\Programme\\Zepanu");
    EXPECT_EQ(link.fileSize, 1234u);
    EXPECT_EQ(link.fileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_GT(link.writeTime.dwHighDateTime, 0x01D00000u); // after 2015
    // A target in the root works in the root.
    ASSERT_EQ(win::fCreateShellLink("", "Root", "C:\\ZEP.EXE", ""), 1);
    EXPECT_EQ(Read(Programs() / "Root.lnk").workingDir, "C:\\");

    // Targets that are no full path are refused.
    for (const char* target : {"", "Zepanu.exe", "\\Zepanu.exe", "C:Zepanu.exe", "C:\\a|b.exe"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(win::fCreateShellLink("", "Falsch", target, ""), 0);
    }
    EXPECT_EQ(win::fCreateShellLink("", "Falsch", nullptr, ""), 0);
    EXPECT_FALSE(fs::exists(Programs() / "Falsch.lnk"));
}

TEST_F(ShortcutToolkit, ALinkIsReplacedWholeAndTemporaryFilesGo) {
    ASSERT_EQ(win::fCreateShellLink("Gruppe", "Zepanu", kTarget.c_str(), "/alt"), 1);
    const std::set<std::string> before = Listing(Programs() / "Gruppe");
    ASSERT_EQ(win::fCreateShellLink("Gruppe", "ZEPANU", kTarget.c_str(), "/neu"), 1);
    EXPECT_EQ(Read(Programs() / "Gruppe" / "Zepanu.lnk").arguments, "/neu");
    EXPECT_EQ(Listing(Programs() / "Gruppe"), before); // same name, no leftovers

    // A read-only link is not replaced, and nothing is left behind.
    const std::string linkPath = "C:\\WINDOWS\\Startmen\xFC\\Programme\\Gruppe\\Zepanu.lnk";
    ASSERT_TRUE(win::SetFileAttributesA(linkPath.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(win::fCreateShellLink("Gruppe", "Zepanu", kTarget.c_str(), "/dritte"), 0);
    EXPECT_EQ(Read(Programs() / "Gruppe" / "Zepanu.lnk").arguments, "/neu");
    EXPECT_EQ(Listing(Programs() / "Gruppe"), before);
    EXPECT_EQ(win::fRemoveShellLink("Gruppe", "Zepanu"), 0);

    // A folder of the link's name is not replaced either.
    fs::create_directory(Programs() / "Ordner.lnk");
    EXPECT_EQ(win::fCreateShellLink("", "Ordner", kTarget.c_str(), ""), 0);
    EXPECT_TRUE(fs::is_directory(Programs() / "Ordner.lnk"));
    EXPECT_EQ(win::fRemoveShellLink("", "Ordner"), 0);
}

TEST_F(ShortcutToolkit, RemovalNeedsTheLink) {
    ASSERT_EQ(win::fCreateShellLink("Gruppe", "Zepanu", kTarget.c_str(), ""), 1);
    EXPECT_EQ(win::fRemoveShellLink("Gruppe", "Andere"), 0);
    EXPECT_EQ(win::fRemoveShellLink("Fehlt", "Zepanu"), 0);
    EXPECT_EQ(win::fRemoveShellLink("Gruppe", ""), 0);
    EXPECT_EQ(win::fRemoveShellLink("Gruppe", nullptr), 0);
    EXPECT_EQ(win::fRemoveShellLink("\\GRUPPE", "zepanu"), 1); // names ignore case
    EXPECT_EQ(win::fRemoveShellLink("Gruppe", "Zepanu"), 0);
    EXPECT_TRUE(fs::is_directory(Programs() / "Gruppe")); // the group stays
}

TEST_F(ShortcutToolkit, NamesOutsideAsciiAreUtf8OnTheHost) {
    const std::string group = win::ToAnsi("Dovek’s Zepanu’s 1.0");
    const std::string name = win::ToAnsi("Zepanu’s Größe für Café");
    ASSERT_EQ(group[5], '\x92');
    ASSERT_EQ(win::fCreateShellLink(group.c_str(), name.c_str(), kTarget.c_str(), ""), 1);
    const fs::path host = Programs() / "Dovek’s Zepanu’s 1.0" / "Zepanu’s Größe für Café.lnk";
    EXPECT_TRUE(fs::is_regular_file(host));
    std::string path = "C:\\WINDOWS\\Startmen\xFC\\Programme\\" + group + "\\" + name + ".lnk";
    EXPECT_NE(win::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::fRemoveShellLink(group.c_str(), name.c_str()), 1);
    EXPECT_FALSE(fs::exists(host));
}

TEST_F(ShortcutToolkit, NothingLeavesTheDrive) {
    const fs::path outside = m.temp();
    const std::set<std::string> around = Listing(outside);
    // '..' stops at the drive's root.
    ASSERT_EQ(win::fCreateShellLink("..\\..\\..\\..\\..\\x", "Zepanu", kTarget.c_str(), ""), 1);
    EXPECT_TRUE(fs::is_regular_file(m.DriveC() / "x" / "Zepanu.lnk"));
    ASSERT_EQ(win::fCreateShellFolder("\\..\\..\\..\\..\\..\\..\\..\\y"), 1);
    EXPECT_TRUE(fs::is_directory(m.DriveC() / "y"));
    // Other drives, devices and link names with a path are refused.
    for (const char* folder : {"D:\\x", "..\\..\\..\\A:\\x", "CON"}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(win::fCreateShellLink(folder, "Zepanu", kTarget.c_str(), ""), 0);
    }
    for (const char* name : {"..\\..\\..\\..\\evil", "a/b", "CON", "a:b"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(win::fCreateShellLink("", name, kTarget.c_str(), ""), 0);
        EXPECT_EQ(win::fRemoveShellLink("", name), 0);
    }
    // A symbolic link planted in the start menu is not followed.
    fs::create_symlink(outside, Programs() / "Draussen");
    EXPECT_EQ(win::fCreateShellLink("Draussen", "Zepanu", kTarget.c_str(), ""), 0);
    EXPECT_EQ(Listing(outside), around);
    // The machine's own: its store, the list of this process's temporary files, its runs.
    EXPECT_EQ(Listing(m.root()), (std::set<std::string>{"drive_c", "machine.db", "machine.db-shm",
                                                        "machine.db-wal", "runs", "sessions"}));
}

TEST_F(ShortcutToolkit, EveryChangeIsJournalled) {
    const auto start = m.machine().ReadJournal().back().id;
    ASSERT_EQ(win::fCreateShellLink("\\Neu\\Gruppe", "Zepanu", kTarget.c_str(), "/x"), 1);
    ASSERT_EQ(win::fRemoveShellLink("\\Neu\\Gruppe", "Zepanu"), 1);
    std::vector<std::string> lines;
    for (const auto& e : m.machine().ReadJournal(start))
        lines.push_back(e.text);
    const std::string group = "C:\\WINDOWS\\Startmenü\\Programme\\Neu\\Gruppe";
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "mkdir C:\\WINDOWS\\Startmenü\\Programme\\Neu");
    EXPECT_EQ(lines[1], "mkdir " + group);
    EXPECT_EQ(lines[lines.size() - 2], "shortcut " + group + "\\Zepanu.lnk -> " + kTarget + " /x");
    EXPECT_EQ(lines.back(), "delete " + group + "\\Zepanu.lnk");
}

// A host path as one shell word.
std::string Quoted(const fs::path& p) {
    std::string out = "'";
    for (char c : p.string())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Debian's lnkinfo (liblnk-utils) reads every link the toolkit writes.
TEST_F(ShortcutToolkit, LnkinfoReadsTheLinks) {
    if (RunCommand("command -v lnkinfo >/dev/null") != 0)
        GTEST_FAIL() << "lnkinfo is missing: install liblnk-utils (scripts/deps)";
    fs::create_directories(m.DriveC() / "Programme" / "Zubehör");
    WriteHostFile(m.DriveC() / "Programme" / "Zubehör" / "Größe.exe", "MZ");
    struct Row {
        const char* folder;
        const char* name;
        const char* target;
        const char* arguments;
        fs::path host;
    } rows[] = {
        {"\\Dovek's Zepanu's 1.0", "Zepanu", "C:\\PROGRA~1\\DOVEK'~1\\Zepanu.exe", "/s",
         Programs() / "Dovek's Zepanu's 1.0" / "Zepanu.lnk"},
        {"..\\..\\Desktop", "Zepanu’s Größe", "C:\\Programme\\Zubehör\\Größe.exe",
         "\"C:\\Mein Ordner\\é.txt\"", m.DriveC() / "WINDOWS" / "Desktop" / "Zepanu’s Größe.lnk"},
        {"", "Wurzel", "C:\\ZEP.EXE", "", Programs() / "Wurzel.lnk"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(win::fCreateShellLink(
                      win::ToAnsi(row.folder).c_str(), win::ToAnsi(row.name).c_str(),
                      win::ToAnsi(row.target).c_str(), win::ToAnsi(row.arguments).c_str()),
                  1);
        std::string out;
        ASSERT_EQ(RunCommand("lnkinfo -c windows-1252 " + Quoted(row.host) + " 2>&1", &out), 0)
            << out;
        std::string target = row.target;
        std::string folder = target.substr(0, target.rfind('\\'));
        if (folder.size() == 2)
            folder += '\\';
        EXPECT_NE(out.find("Local path\t\t\t: " + target + "\n"), std::string::npos) << out;
        EXPECT_NE(out.find("Working directory\t\t: " + folder + "\n"), std::string::npos) << out;
        EXPECT_NE(out.find("Icon location\t\t\t: " + target + "\n"), std::string::npos) << out;
        if (*row.arguments) {
            EXPECT_NE(out.find("Command line arguments\t\t: " + std::string(row.arguments) + "\n"),
                      std::string::npos)
                << out;
        }
        EXPECT_NE(out.find("Drive type\t\t\t: Fixed"), std::string::npos) << out;
    }
}

} // namespace
