// Kept folder listings: a lookup through a large folder answers from memory, yet never
// misses what changed since, whoever changed it.
#include "platform/kernel32.h"

#include "platform/portable/files/file_system.h"
#include "platform/portable/files/short_name.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"
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

std::int64_t Count(portable::Machine& machine, const char* sql) {
    auto& stmt = machine.store().Prepare(sql);
    std::int64_t n = stmt.Step() ? stmt.Int(0) : -1;
    stmt.Reset();
    return n;
}

// A new process takes a settled folder's names from the store: the aliases it hands out are
// those handed out before, whatever the host did to the folder since, and a folder changed
// behind the machine's back is listed again.
TEST(FolderListing, StoredNamesOutliveTheProcessAndFollowTheHost) {
    TestMachine m;
    fs::create_directories(m.DriveC() / "Ordner");
    for (const char* name : {"Langer Name B.txt", "Langer Name C.txt"})
        WriteHostFile(m.DriveC() / "Ordner" / name, "");
    LetTheTimesSettle();
    ASSERT_EQ(ShortOf("C:\\Ordner\\Langer Name C.txt"), "C:\\ORDNER\\LANGER~2.TXT");
    // The machine's own change carries the claim forward.
    HANDLE h = win::CreateFileA("C:\\Ordner\\Langer Name D.txt", GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    win::CloseHandle(h);
    EXPECT_EQ(Count(m.machine(), "SELECT count(*) FROM folders WHERE dir LIKE '%Ordner'"), 1);

    auto lookUp = [&](const char* path) {
        auto fresh = portable::Machine::Open(m.root()); // a new process: nothing in memory
        portable::FileSystem files(*fresh);
        std::string shortPath;
        return files.ShortPath(path, shortPath) == 0 ? shortPath : "gone";
    };
    EXPECT_EQ(lookUp("C:\\Ordner\\Langer Name D.txt"), "C:\\ORDNER\\LANGER~3.TXT");
    EXPECT_EQ(lookUp("C:\\ORDNER\\LANGER~2.TXT"), "C:\\ORDNER\\LANGER~2.TXT");
    {
        // Asked often enough, a process reads the folder's names from the store once.
        auto fresh = portable::Machine::Open(m.root());
        portable::FileSystem files(*fresh);
        std::string shortPath;
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(files.ShortPath("C:\\Ordner\\Langer Name D.txt", shortPath), 0u);
            ASSERT_EQ(shortPath, "C:\\ORDNER\\LANGER~3.TXT") << i;
        }
        EXPECT_EQ(files.ShortPath("C:\\Ordner\\Langer Name X.txt", shortPath),
                  DWORD{ERROR_FILE_NOT_FOUND});
    }

    // The host adds a name that sorts first and removes one: the folder is listed again, the
    // new name gets a free alias, and the aliases handed out stay. (Within the timer tick of
    // the machine's change the host's would leave the folder's times as they were.)
    LetTheTimesSettle();
    WriteHostFile(m.DriveC() / "Ordner" / "Langer Name A.txt", "");
    fs::remove(m.DriveC() / "Ordner" / "Langer Name B.txt");
    EXPECT_EQ(lookUp("C:\\Ordner\\Langer Name A.txt"), "C:\\ORDNER\\LANGER~1.TXT");
    EXPECT_EQ(lookUp("C:\\Ordner\\Langer Name B.txt"), "gone");
    EXPECT_EQ(lookUp("C:\\Ordner\\Langer Name C.txt"), "C:\\ORDNER\\LANGER~2.TXT");
    EXPECT_EQ(lookUp("C:\\Ordner\\Langer Name D.txt"), "C:\\ORDNER\\LANGER~3.TXT");
}

// A drive named for one run leaves no name of its host folder in the store.
TEST(FolderListing, ARunOnlyDriveLeavesNoNameInTheStore) {
    TestMachine m;
    testing_support::TempDir cd;
    fs::create_directories(cd.path() / "Unterordner");
    WriteHostFile(cd.path() / "Unterordner" / "Ein langer Name.txt", "");
    m.machine().MapRunOnlyDrive('D', cd.path());
    std::int64_t before = Count(m.machine(), "SELECT count(*) FROM names");
    EXPECT_EQ(ShortOf("D:\\Unterordner\\Ein langer Name.txt"), "D:\\UNTERO~1\\EINLAN~1.TXT");
    WIN32_FIND_DATAA data;
    HANDLE find = win::FindFirstFileA("D:\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    win::FindClose(find);
    EXPECT_EQ(Count(m.machine(), "SELECT count(*) FROM names"), before);
    EXPECT_EQ(Count(m.machine(), "SELECT count(*) FROM folders WHERE dir LIKE 'D%'"), 0);
}

} // namespace
