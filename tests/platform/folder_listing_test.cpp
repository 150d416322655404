// Kept folder listings: a lookup through a large folder answers from memory, yet never
// misses what changed since, whoever changed it.
#include "platform/kernel32.h"

#include "platform/portable/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/short_name.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

// Past the ticks within which a folder's listing is not kept.
void LetTheTimesSettle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
}

std::string ShortOf(const char* path) {
    char buffer[MAX_PATH];
    DWORD n = win::GetShortPathNameA(path, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

// A batch of new names gets the aliases one-at-a-time assignment in name order gives.
TEST(FolderListing, ABatchOfNewNamesGetsTheAliasesOneAtATimeWouldGive) {
    TestMachine m;
    fs::create_directories(m.DriveC() / "Gross");
    for (int i = 1; i <= 1200; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Langer Dateiname %04d.txt", i);
        WriteHostFile(m.DriveC() / "Gross" / name, "");
    }
    EXPECT_EQ(ShortOf("C:\\Gross\\Langer Dateiname 0001.txt"), "C:\\GROSS\\LANGER~1.TXT");
    EXPECT_EQ(ShortOf("C:\\Gross\\Langer Dateiname 0009.txt"), "C:\\GROSS\\LANGER~9.TXT");
    EXPECT_EQ(ShortOf("C:\\Gross\\Langer Dateiname 0010.txt"), "C:\\GROSS\\LANGE~10.TXT");
    EXPECT_EQ(ShortOf("C:\\Gross\\Langer Dateiname 1200.txt"), "C:\\GROSS\\LAN~1200.TXT");

    // The same rule, one name at a time: the lowest free tail.
    std::set<std::string> taken;
    for (int i = 1; i <= 1200; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Langer Dateiname %04d.txt", i);
        std::string alias = portable::MakeShortName(
            name, [&](std::string_view c) { return taken.count(std::string(c)) > 0; });
        taken.insert(alias);
        EXPECT_EQ(ShortOf((std::string("C:\\Gross\\") + name).c_str()), "C:\\GROSS\\" + alias);
    }
    // A freed tail is used again first.
    ASSERT_TRUE(win::DeleteFileA("C:\\Gross\\LANGER~5.TXT"));
    HANDLE h = win::CreateFileA("C:\\Gross\\Noch ein langer Name.txt", GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    win::CloseHandle(h);
    EXPECT_EQ(ShortOf("C:\\Gross\\Noch ein langer Name.txt"), "C:\\GROSS\\NOCHEI~1.TXT");
    h = win::CreateFileA("C:\\Gross\\Langer Dateiname neu.txt", GENERIC_WRITE, 0, nullptr,
                         CREATE_NEW, 0, nullptr);
    win::CloseHandle(h);
    EXPECT_EQ(ShortOf("C:\\Gross\\Langer Dateiname neu.txt"), "C:\\GROSS\\LANGER~5.TXT");
}

// Names equal but for case: the first in host order is the folder's, in O(N log N).
TEST(FolderListing, OfNamesEqualButForCaseTheFirstIsSeen) {
    TestMachine m;
    fs::create_directories(m.DriveC() / "Fall");
    WriteHostFile(m.DriveC() / "Fall" / "b.txt", "klein");
    WriteHostFile(m.DriveC() / "Fall" / "B.TXT", "gross");
    WIN32_FIND_DATAA data;
    HANDLE find = win::FindFirstFileA("C:\\Fall\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int files = 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++files;
            EXPECT_STREQ(data.cFileName, "B.TXT");
            EXPECT_EQ(data.nFileSizeLow, 5u);
        }
    } while (win::FindNextFileA(find, &data));
    win::FindClose(find);
    EXPECT_EQ(files, 1);
}

TEST(FolderListing, AKeptListingSeesWhatChangedSince) {
    TestMachine m;
    fs::create_directories(m.DriveC() / "Ordner");
    WriteHostFile(m.DriveC() / "Ordner" / "a.txt", "1");
    LetTheTimesSettle();
    ASSERT_NE(win::GetFileAttributesA("C:\\Ordner\\a.txt"), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(win::GetFileAttributesA("C:\\Ordner\\a.txt"), INVALID_FILE_ATTRIBUTES); // kept

    // Made on the host: the folder's times changed.
    WriteHostFile(m.DriveC() / "Ordner" / "Neu auf dem Host.txt", "");
    EXPECT_EQ(ShortOf("C:\\Ordner\\Neu auf dem Host.txt"), "C:\\ORDNER\\NEUAUF~1.TXT");
    // Grown on the host: the entry itself is looked at again.
    LetTheTimesSettle();
    WIN32_FIND_DATAA data;
    HANDLE find = win::FindFirstFileA("C:\\Ordner\\a.txt", &data);
    win::FindClose(find);
    WriteHostFile(m.DriveC() / "Ordner" / "a.txt", "12345");
    find = win::FindFirstFileA("C:\\Ordner\\a.txt", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    win::FindClose(find);
    EXPECT_EQ(data.nFileSizeLow, 5u);

    // Changed through another connection to the store: only the store knows.
    auto other = portable::Machine::Open(m.root());
    portable::FileSystem otherFiles(*other);
    ASSERT_EQ(otherFiles.SetAttributes("C:\\Ordner\\a.txt", FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_EQ(win::GetFileAttributesA("C:\\Ordner\\a.txt"), DWORD{FILE_ATTRIBUTE_READONLY});

    // Changed through another file system of the same connection.
    portable::FileSystem sameConnection(m.machine());
    ASSERT_EQ(sameConnection.SetAttributes("C:\\Ordner\\a.txt", FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_EQ(win::GetFileAttributesA("C:\\Ordner\\a.txt"), DWORD{FILE_ATTRIBUTE_HIDDEN});
}

} // namespace
