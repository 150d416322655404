// Conformance of the kernel32 subset on the portable machine, written the way the real
// API's behaviour is stated: poisoned buffers and last error before each call, then what
// must change and what must stay.
#include "platform/kernel32.h"

#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using testing_support::ReadHostFile;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

constexpr DWORD kPoison = 0xdeadbeef;

class Kernel32 : public ::testing::Test {
protected:
    TestMachine m;

    void WriteFile(const char* path, std::string_view bytes) {
        HANDLE h = win::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << path << " error " << win::GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(
            win::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        EXPECT_EQ(written, bytes.size());
        EXPECT_TRUE(win::CloseHandle(h));
    }
};

// The buffer contract is a conformance test; here, the machine's own folders.
TEST_F(Kernel32, FolderQueriesAnswerTheMachinesFolders) {
    char buffer[64];
    std::memset(buffer, 0xA5, sizeof buffer);
    EXPECT_EQ(win::GetSystemDirectoryA(buffer, sizeof buffer), 17u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\SYSTEM");

    std::memset(buffer, 0xA5, sizeof buffer);
    EXPECT_EQ(win::GetWindowsDirectoryA(buffer, 10), 11u);
    EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 0xA5); // too small: nothing written
    EXPECT_EQ(win::GetWindowsDirectoryA(buffer, 11), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");

    std::memset(buffer, 0xA5, sizeof buffer);
    EXPECT_EQ(win::GetTempPathA(sizeof buffer, buffer), 16u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\TEMP\\");

    EXPECT_EQ(win::GetCurrentDirectoryA(sizeof buffer, buffer), 3u);
    EXPECT_STREQ(buffer, "C:\\");
}

TEST_F(Kernel32, DrivesAndTheirTypes) {
    char buffer[32];
    std::memset(buffer, 0xA5, sizeof buffer);
    DWORD n = win::GetLogicalDriveStringsA(sizeof buffer, buffer);
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(std::string(buffer, n + 1), std::string("A:\\\0C:\\\0\0", 9));
    EXPECT_EQ(win::GetLogicalDriveStringsA(4, buffer), 9u);

    EXPECT_EQ(win::GetDriveTypeA("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(win::GetDriveTypeA("c:\\"), DRIVE_FIXED);
    EXPECT_EQ(win::GetDriveTypeA("A:\\"), DRIVE_REMOVABLE);
    EXPECT_EQ(win::GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(win::GetDriveTypeA("C:\\WINDOWS"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(win::GetDriveTypeA(nullptr), DRIVE_FIXED); // the current drive

    m.machine().MapRunOnlyDrive('D', m.temp());
    EXPECT_EQ(win::GetDriveTypeA("D:\\"), DRIVE_CDROM);

    // A removable drive without a medium is not ready.
    win::SetLastError(kPoison);
    EXPECT_EQ(win::GetFileAttributesA("A:\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetLastError(), ERROR_NOT_READY);
}

// That a short path has 8.3 names and opens the file is a conformance test; here, the
// machine's aliases and errors.
TEST_F(Kernel32, ShortPathsUseTheMachinesAliases) {
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Programme\\Zepanu Werkzeuge", nullptr));
    char buffer[MAX_PATH];
    struct Row {
        const char* in;
        const char* out;
    } rows[] = {
        {"C:\\Programme", "C:\\PROGRA~1"},
        {"c:\\programme\\zepanu werkzeuge", "c:\\PROGRA~1\\ZEPANU~1"},
        {"C:\\PROGRA~1\\ZEPANU~1", "C:\\PROGRA~1\\ZEPANU~1"}, // already short
        {"C:\\WINDOWS\\Startmen\xFC\\Programme\\", "C:\\WINDOWS\\STARTM~1\\PROGRA~1\\"},
        {"C:\\WINDOWS\\SYSTEM.INI", "C:\\WINDOWS\\SYSTEM.INI"},
        {"C:\\", "C:\\"},
        {"C:\\WINDOWS\\..\\Programme", "C:\\WINDOWS\\..\\PROGRA~1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        std::memset(buffer, 0xA5, sizeof buffer);
        DWORD n = win::GetShortPathNameA(row.in, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, n), row.out);
        EXPECT_EQ(buffer[n], '\0');
    }
    // Relative to the current folder, kept relative.
    ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\WINDOWS"));
    DWORD n = win::GetShortPathNameA("Startmen\xFC", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "STARTM~1");

    win::SetLastError(kPoison);
    EXPECT_EQ(win::GetShortPathNameA("C:\\Nirgendwo\\x", buffer, sizeof buffer), 0u);
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
    win::SetLastError(kPoison);
    EXPECT_EQ(win::GetShortPathNameA("C:\\Nirgendwo", buffer, sizeof buffer), 0u);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
}

// Creating and removing is a conformance test; here, the host folders, names in any case
// and by alias, and what the conformance test leaves out.
TEST_F(Kernel32, FoldersFollowTheHostByAnyName) {
    win::SetLastError(kPoison);
    EXPECT_TRUE(win::CreateDirectoryA("C:\\Programme\\Zepanu", nullptr));
    EXPECT_TRUE(std::filesystem::is_directory(m.DriveC() / "Programme" / "Zepanu"));
    EXPECT_FALSE(win::CreateDirectoryA("c:\\PROGRAMME\\ZEPANU", nullptr));
    EXPECT_EQ(win::GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(win::CreateDirectoryA("C:\\PROGRA~1", nullptr)); // the alias names it too
    EXPECT_EQ(win::GetLastError(), ERROR_ALREADY_EXISTS);

    EXPECT_TRUE(win::CreateDirectoryA("C:\\PROGRA~1\\Zepanu\\Doc", nullptr));
    EXPECT_TRUE(win::RemoveDirectoryA("C:\\Programme\\Zepanu\\Doc"));
    EXPECT_TRUE(win::RemoveDirectoryA("C:\\Programme\\Zepanu"));
    EXPECT_FALSE(std::filesystem::exists(m.DriveC() / "Programme" / "Zepanu"));
    EXPECT_FALSE(win::RemoveDirectoryA("C:\\Programme\\Zepanu"));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win::RemoveDirectoryA("C:\\WINDOWS\\WIN.INI"));
    EXPECT_EQ(win::GetLastError(), ERROR_DIRECTORY);
}

// Read-only files are a conformance test; here, the host file kept and read-only folders.
TEST_F(Kernel32, ReadOnlyKeepsTheHostFileAndFolder) {
    WriteFile("C:\\WINDOWS\\TEMP\\fest.txt", "bleibt");
    ASSERT_TRUE(win::SetFileAttributesA("C:\\WINDOWS\\TEMP\\fest.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(win::GetFileAttributesA("C:\\WINDOWS\\TEMP\\FEST.TXT"), FILE_ATTRIBUTE_READONLY);

    win::SetLastError(kPoison);
    EXPECT_EQ(win::CreateFileA("C:\\WINDOWS\\TEMP\\fest.txt", GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadHostFile(m.DriveC() / "WINDOWS" / "TEMP" / "fest.txt"), "bleibt");

    // Reading is fine; clearing the attribute allows the delete.
    HANDLE h = win::CreateFileA("C:\\WINDOWS\\TEMP\\fest.txt", GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    win::CloseHandle(h);
    ASSERT_TRUE(win::SetFileAttributesA("C:\\WINDOWS\\TEMP\\fest.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(win::GetFileAttributesA("C:\\WINDOWS\\TEMP\\fest.txt"), 0u);
    EXPECT_TRUE(win::DeleteFileA("C:\\WINDOWS\\TEMP\\fest.txt"));
    EXPECT_FALSE(std::filesystem::exists(m.DriveC() / "WINDOWS" / "TEMP" / "fest.txt"));

    // Read-only folders cannot be removed either.
    ASSERT_TRUE(win::CreateDirectoryA("C:\\fest", nullptr));
    ASSERT_TRUE(win::SetFileAttributesA("C:\\fest", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(win::GetFileAttributesA("C:\\fest"),
              FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(win::RemoveDirectoryA("C:\\fest"));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
}

// Dispositions are a conformance test; here, the host file, the archive attribute and what
// a handle refuses.
TEST_F(Kernel32, FileHandlesRefuseWhatTheyWereNotOpenedFor) {
    const char* path = "C:\\WINDOWS\\TEMP\\Zepanu.reg";
    WriteFile(path, "REGEDIT4\r\n");
    EXPECT_EQ(win::GetFileAttributesA(path), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(ReadHostFile(m.DriveC() / "WINDOWS" / "TEMP" / "Zepanu.reg"), "REGEDIT4\r\n");

    HANDLE h =
        win::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(win::CloseHandle(h));
    DWORD written = 0;
    EXPECT_FALSE(win::CloseHandle(h)); // closed handles stay closed
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_HANDLE);

    h = win::CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(win::WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    win::CloseHandle(h);

    EXPECT_EQ(win::CreateFileA("C:\\WINDOWS\\TEMP\\fehlt.txt", GENERIC_READ, 0, nullptr,
                               TRUNCATE_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::CreateFileA("C:\\WINDOWS", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Kernel32, MovesKeepAliasesConsistent) {
    WriteFile("C:\\WINDOWS\\TEMP\\neu.ini", "neu");
    WriteFile("C:\\WINDOWS\\TEMP\\alt.ini", "alt");
    EXPECT_FALSE(win::MoveFileA("C:\\WINDOWS\\TEMP\\neu.ini", "C:\\WINDOWS\\TEMP\\alt.ini"));
    EXPECT_EQ(win::GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(win::MoveFileExA("C:\\WINDOWS\\TEMP\\neu.ini", "C:\\WINDOWS\\TEMP\\alt.ini",
                                 MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadHostFile(m.DriveC() / "WINDOWS" / "TEMP" / "alt.ini"), "neu");
    EXPECT_EQ(win::GetFileAttributesA("C:\\WINDOWS\\TEMP\\neu.ini"), INVALID_FILE_ATTRIBUTES);

    // A folder moves with everything in it; names inside keep resolving.
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Alter Ordner", nullptr));
    WriteFile("C:\\Alter Ordner\\Lange Datei.txt", "x");
    ASSERT_TRUE(win::MoveFileA("C:\\Alter Ordner", "C:\\Programme\\Neuer Ordner"));
    char buffer[MAX_PATH];
    DWORD n = win::GetShortPathNameA("C:\\Programme\\Neuer Ordner\\Lange Datei.txt", buffer,
                                     sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "C:\\PROGRA~1\\NEUERO~1\\LANGED~1.TXT");
    EXPECT_FALSE(win::MoveFileA("C:\\Programme", "C:\\Programme\\Neuer Ordner\\x"));
}

TEST_F(Kernel32, FindEnumeratesLongAndShortNames) {
    WIN32_FIND_DATAA data;
    std::memset(&data, 0xA5, sizeof data);
    HANDLE find = win::FindFirstFileA("C:\\WINDOWS\\Startmen\xFC\\*.*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::string> names{data.cFileName};
    while (win::FindNextFileA(find, &data)) {
        names.push_back(data.cFileName);
        if (names.back() == "Programme") {
            EXPECT_STREQ(data.cAlternateFileName, "PROGRA~1");
            EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
        }
    }
    EXPECT_EQ(win::GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(win::FindClose(find));
    EXPECT_FALSE(win::FindClose(find));
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "Programme"}));

    // Patterns match aliases too; a name that is its own alias has no alternate name.
    find = win::FindFirstFileA("C:\\WINDOWS\\SHELLI~?", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "ShellIconCache");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN);
    win::FindClose(find);
    find = win::FindFirstFileA("C:\\WINDOWS\\*.INI", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cAlternateFileName, "");
    EXPECT_GT(data.nFileSizeLow, 100u);
    win::FindClose(find);

    EXPECT_EQ(win::FindFirstFileA("C:\\WINDOWS\\*.xyz", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::FindFirstFileA("C:\\Nirgendwo\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
}

// Relative paths are a conformance test; here, the spelling kept and what is refused.
TEST_F(Kernel32, CurrentFolderKeepsItsSpellingAndRefusesFiles) {
    EXPECT_TRUE(win::SetCurrentDirectoryA("c:\\windows\\temp"));
    char buffer[MAX_PATH];
    DWORD n = win::GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer, n), "C:\\windows\\temp");
    WriteFile("relativ.txt", "r");
    EXPECT_TRUE(std::filesystem::exists(m.DriveC() / "WINDOWS" / "TEMP" / "relativ.txt"));
    EXPECT_NE(win::GetFileAttributesA("..\\WIN.INI"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(win::SetCurrentDirectoryA("C:\\WINDOWS\\WIN.INI"));
    EXPECT_EQ(win::GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(win::SetCurrentDirectoryA("A:\\"));
    EXPECT_EQ(win::GetLastError(), ERROR_NOT_READY);
}

TEST_F(Kernel32, CdromIsReadOnly) {
    WriteHostFile(m.temp() / "SETUP.EX_", "packed");
    m.machine().MapRunOnlyDrive('D', m.temp());
    EXPECT_EQ(win::GetFileAttributesA("D:\\setup.ex_"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(win::DeleteFileA("D:\\SETUP.EX_"));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(win::CreateDirectoryA("D:\\neu", nullptr));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(win::CreateFileA("D:\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_TRUE(std::filesystem::exists(m.temp() / "SETUP.EX_"));
}

TEST_F(Kernel32, EntriesMadeOutsideTheMachineGetStableAliases) {
    std::filesystem::create_directory(m.DriveC() / "Programme" / "Programme Alpha");
    std::filesystem::create_directory(m.DriveC() / "Programme" / "Programme Beta");
    char buffer[MAX_PATH];
    DWORD n = win::GetShortPathNameA("C:\\Programme\\Programme Beta", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "C:\\PROGRA~1\\PROGRA~2"); // name order decides
    // Removing the first outside the machine does not change the second's alias.
    std::filesystem::remove(m.DriveC() / "Programme" / "Programme Alpha");
    n = win::GetShortPathNameA("C:\\Programme\\Programme Beta", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "C:\\PROGRA~1\\PROGRA~2");
    // and the freed alias is given again.
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Programme\\Programme Gamma", nullptr));
    n = win::GetShortPathNameA("C:\\Programme\\Programme Gamma", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "C:\\PROGRA~1\\PROGRA~1");
}

} // namespace
