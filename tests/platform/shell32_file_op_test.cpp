// SHFileOperationA's FO_DELETE and the machine's recycle bin: what goes to the bin comes back
// byte for byte, nothing is half done silently, and a crafted bin or record never reaches
// outside the drive.
#include "platform/kernel32.h"
#include "platform/shell32.h"

#include "platform/portable/files/file_system.h"
#include "platform/portable/files/recycle_bin.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::TempDir;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

constexpr FILEOP_FLAGS kToBin = FOF_NOCONFIRMATION | FOF_ALLOWUNDO; // what the setup passes
constexpr BOOL kPoison = 0x5A5A;

// Everything under a host folder, folders included, with file contents.
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        std::string key = e.path().lexically_relative(root).string();
        tree[key] = e.is_directory() ? "<dir>" : ReadHostFile(e.path());
    }
    return tree;
}

// A pFrom list: each path NUL-terminated, then one NUL more.
std::string List(std::initializer_list<std::string> paths) {
    std::string list;
    for (const auto& p : paths)
        list += p + '\0';
    return list + '\0';
}

class ShellFileOp : public ::testing::Test {
protected:
    TestMachine m;
    portable::RecycleBin bin{portable::CurrentFileSystem()};

    fs::path C(const std::string& relative) const { return m.DriveC() / relative; }

    int Delete(const std::string& list, FILEOP_FLAGS flags = kToBin, BOOL* aborted = nullptr) {
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = list.c_str();
        op.fFlags = flags;
        op.fAnyOperationsAborted = kPoison;
        int rc = win::SHFileOperationA(&op);
        if (aborted)
            *aborted = op.fAnyOperationsAborted;
        return rc;
    }

    bool Journaled(const std::string& text) {
        for (const auto& e : m.machine().ReadJournal())
            if (e.text == text)
                return true;
        return false;
    }

    // A program folder as the setup leaves it: subfolders, an empty one, a read-only file.
    void MakeProgramFolder() {
        fs::create_directories(C("Programme/Zepanu/Hilfe/Kapitel 1"));
        fs::create_directories(C("Programme/Zepanu/leer"));
        WriteHostFile(C("Programme/Zepanu/ZEPANU.EXE"), std::string("MZ\0\x01\xff", 5));
        WriteHostFile(C("Programme/Zepanu/Liesmich.txt"), "Bitte lesen.\r\n");
        WriteHostFile(C("Programme/Zepanu/Hilfe/Kapitel 1/Seite.htm"), "<p>Hilfe</p>");
        ASSERT_TRUE(
            win::SetFileAttributesA("C:\\Programme\\Zepanu\\ZEPANU.EXE", FILE_ATTRIBUTE_READONLY));
    }

    void MakeDataFiles() {
        fs::create_directories(C("Daten/Alt"));
        WriteHostFile(C("Daten/a.txt"), "eins");
        WriteHostFile(C("Daten/Brief an Anna.doc"), "Liebe Anna");
        WriteHostFile(C("Daten/Alt/x.txt"), "alt");
    }
};

TEST_F(ShellFileOp, AFolderGoesWholeIntoTheHiddenBinAndComesBackByteForByte) {
    MakeProgramFolder();
    fs::remove(C("RECYCLED")); // made on first use where a drive has none
    char alias[MAX_PATH];
    ASSERT_GT(win::GetShortPathNameA("C:\\Programme\\Zepanu\\Hilfe\\Kapitel 1", alias, MAX_PATH),
              0u);
    auto before = Tree(C("Programme/Zepanu"));

    BOOL aborted = 0;
    ASSERT_EQ(Delete(List({"C:\\PROGRA~1\\zepanu"}), kToBin, &aborted), 0);
    EXPECT_EQ(aborted, FALSE);
    EXPECT_FALSE(fs::exists(C("Programme/Zepanu")));
    EXPECT_EQ(win::GetFileAttributesA("C:\\Programme\\Zepanu"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetFileAttributesA("C:\\RECYCLED"),
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(Tree(C("RECYCLED/DC1")), before);

    auto items = bin.Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id, 1);
    EXPECT_EQ(items[0].drive, 'C');
    EXPECT_EQ(items[0].StoredPath(), "C:\\RECYCLED\\DC1");
    EXPECT_EQ(items[0].original, "C:\\Programme\\Zepanu"); // the long form
    EXPECT_EQ(items[0].size, 5u + 14u + 12u);
    EXPECT_TRUE(items[0].folder);
    EXPECT_FALSE(items[0].deleted.empty());
    EXPECT_TRUE(Journaled("recycle C:\\Programme\\Zepanu -> C:\\RECYCLED\\DC1 (31 bytes)"));

    std::string why;
    ASSERT_EQ(bin.Restore(1, why), ERROR_SUCCESS) << why;
    EXPECT_EQ(Tree(C("Programme/Zepanu")), before);
    EXPECT_FALSE(fs::exists(C("RECYCLED/DC1")));
    EXPECT_TRUE(bin.Items().empty());
    EXPECT_TRUE(Journaled("restore C:\\RECYCLED\\DC1 -> C:\\Programme\\Zepanu"));
    // Attributes and aliases inside the folder travelled with it.
    EXPECT_EQ(win::GetFileAttributesA("C:\\Programme\\Zepanu\\ZEPANU.EXE"),
              FILE_ATTRIBUTE_READONLY);
    char again[MAX_PATH];
    win::GetShortPathNameA("C:\\Programme\\Zepanu\\Hilfe\\Kapitel 1", again, MAX_PATH);
    EXPECT_STREQ(again, alias);
}

TEST_F(ShellFileOp, SeveralItemsAreNumberedWithTheirExtensionsAndNumbersAreNeverReused) {
    MakeDataFiles();
    WriteHostFile(C("RECYCLED/DC4"), "left by someone"); // a number already taken in the bin
    ASSERT_TRUE(win::SetFileAttributesA("C:\\RECYCLED", FILE_ATTRIBUTE_NORMAL));

    // The file inside Alt goes with Alt rather than failing.
    ASSERT_EQ(Delete(List({"C:\\Daten\\Alt", "C:\\Daten\\Alt\\x.txt", "C:\\Daten\\a.txt",
                           "C:\\Daten\\Brief an Anna.doc"})),
              0);
    auto items = bin.Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].stored, "DC5");
    EXPECT_EQ(items[1].stored, "DC6.TXT");
    EXPECT_EQ(items[2].stored, "DC7.DOC");
    EXPECT_EQ(items[2].original, "C:\\Daten\\Brief an Anna.doc");
    EXPECT_EQ(ReadHostFile(C("RECYCLED/DC5/x.txt")), "alt");
    EXPECT_EQ(ReadHostFile(C("RECYCLED/DC7.DOC")), "Liebe Anna");
    EXPECT_EQ(win::GetFileAttributesA("C:\\RECYCLED"), // repaired
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    std::string why;
    ASSERT_EQ(bin.Restore(7, why), ERROR_SUCCESS) << why;
    ASSERT_EQ(Delete(List({"C:\\Daten\\Brief an Anna.doc"})), 0);
    EXPECT_EQ(bin.Items().back().stored, "DC8.DOC");
}

TEST_F(ShellFileOp, AMissingPathLeavesTheWholeListUntouched) {
    MakeDataFiles();
    BOOL aborted = 0;
    EXPECT_EQ(Delete(List({"C:\\Daten\\a.txt", "C:\\Daten\\fehlt.txt"}), kToBin, &aborted),
              static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(aborted, TRUE);
    EXPECT_EQ(Delete(List({"C:\\Fehlt\\a.txt"})), static_cast<int>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Delete(List({"C:\\Daten\\a.txt"}), FOF_NOCONFIRMATION),
              0); // then it can go for good
    EXPECT_EQ(Delete(List({"C:\\Daten\\a.txt"}), FOF_NOCONFIRMATION),
              static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(fs::exists(C("Daten/Brief an Anna.doc")));
    EXPECT_TRUE(fs::is_empty(C("RECYCLED")));
    EXPECT_TRUE(bin.Items().empty());
}

TEST_F(ShellFileOp, AReadOnlyDriveRefusesAndEarlierItemsStayRestorable) {
    MakeDataFiles();
    TempDir cd;
    WriteHostFile(cd.path() / "SETUP.EXE", "setup");
    m.machine().MapRunOnlyDrive('D', cd.path());

    EXPECT_EQ(Delete(List({"D:\\SETUP.EXE"})), static_cast<int>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Delete(List({"D:\\SETUP.EXE"}), FOF_NOCONFIRMATION),
              static_cast<int>(ERROR_ACCESS_DENIED));
    BOOL aborted = 0;
    EXPECT_NE(Delete(List({"C:\\Daten\\a.txt", "D:\\SETUP.EXE"}), kToBin, &aborted), 0);
    EXPECT_EQ(aborted, TRUE);
    EXPECT_EQ(ReadHostFile(cd.path() / "SETUP.EXE"), "setup");
    EXPECT_FALSE(fs::exists(cd.path() / "RECYCLED"));

    // The first item is in the bin, recorded, and comes back.
    ASSERT_EQ(bin.Items().size(), 1u);
    std::string why;
    ASSERT_EQ(bin.Restore(bin.Items()[0].id, why), ERROR_SUCCESS) << why;
    EXPECT_EQ(ReadHostFile(C("Daten/a.txt")), "eins");
}

TEST_F(ShellFileOp, WithoutAllowUndoItemsAreDeletedReadOnlyEntriesIncluded) {
    MakeProgramFolder();
    MakeDataFiles();
    ASSERT_EQ(Delete(List({"C:\\Programme\\Zepanu", "C:\\Daten\\a.txt"}), FOF_NOCONFIRMATION), 0);
    EXPECT_FALSE(fs::exists(C("Programme/Zepanu")));
    EXPECT_FALSE(fs::exists(C("Daten/a.txt")));
    EXPECT_TRUE(fs::is_empty(C("RECYCLED")));
    EXPECT_TRUE(bin.Items().empty());
    EXPECT_TRUE(Journaled("delete tree C:\\Programme\\Zepanu"));
    // A new folder of the old name starts without the old one's names and attributes.
    ASSERT_TRUE(win::CreateDirectoryA("C:\\Programme\\Zepanu", nullptr));
    WriteHostFile(C("Programme/Zepanu/ZEPANU.EXE"), "new");
    EXPECT_EQ(win::GetFileAttributesA("C:\\Programme\\Zepanu\\ZEPANU.EXE"), FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(ShellFileOp, WildcardsMatchInTheLastComponentOnly) {
    MakeDataFiles();
    WriteHostFile(C("Daten/b.txt"), "zwei");
    fs::create_directories(C("Daten/ordner.txt"));

    ASSERT_EQ(Delete(List({"C:\\Daten\\*.txt"}), kToBin | FOF_FILESONLY), 0);
    EXPECT_FALSE(fs::exists(C("Daten/a.txt")));
    EXPECT_FALSE(fs::exists(C("Daten/b.txt")));
    EXPECT_TRUE(fs::exists(C("Daten/ordner.txt")));
    EXPECT_TRUE(fs::exists(C("Daten/Brief an Anna.doc")));
    EXPECT_EQ(bin.Items().size(), 2u);

    EXPECT_EQ(Delete(List({"C:\\Daten\\*.xyz"})), 0); // as on Windows: nothing to do
    EXPECT_EQ(Delete(List({"C:\\*\\Brief an Anna.doc"})), static_cast<int>(ERROR_INVALID_NAME));
    ASSERT_EQ(Delete(List({"C:\\Daten\\*.txt"})), 0); // without FOF_FILESONLY the folder too
    EXPECT_FALSE(fs::exists(C("Daten/ordner.txt")));
}

TEST_F(ShellFileOp, OtherOperationsAndMalformedRequestsAreRefused) {
    MakeDataFiles();
    std::string list = List({"C:\\Daten\\a.txt"});
    SHFILEOPSTRUCTA op{};
    op.pFrom = list.c_str();
    op.pTo = "C:\\Kopie.txt\0";
    for (UINT func : {FO_MOVE, FO_COPY, FO_RENAME}) {
        op.wFunc = func;
        op.fAnyOperationsAborted = kPoison;
        EXPECT_EQ(win::SHFileOperationA(&op), static_cast<int>(ERROR_CALL_NOT_IMPLEMENTED));
        EXPECT_EQ(op.fAnyOperationsAborted, FALSE);
    }
    op.wFunc = 0;
    EXPECT_EQ(win::SHFileOperationA(&op), static_cast<int>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(win::SHFileOperationA(nullptr), static_cast<int>(ERROR_INVALID_PARAMETER));

    BOOL aborted = 0;
    EXPECT_EQ(Delete(std::string(2, '\0'), kToBin, &aborted),
              static_cast<int>(ERROR_ACCESS_DENIED)); // an empty list, as Windows answers
    EXPECT_EQ(aborted, FALSE);
    EXPECT_EQ(Delete(List({"C:\\"})), static_cast<int>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Delete(List({"C:\\"}), FOF_NOCONFIRMATION), static_cast<int>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(Delete(List({"C:\\Daten\\a.txt"})), 0);
    // The bin's contents are managed by the bin, never recycled or deleted through it.
    EXPECT_EQ(Delete(List({"C:\\RECYCLED"})), static_cast<int>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Delete(List({"C:\\recycled\\DC1.TXT"}), FOF_NOCONFIRMATION),
              static_cast<int>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadHostFile(C("RECYCLED/DC1.TXT")), "eins");
    EXPECT_TRUE(fs::exists(C("Daten/Brief an Anna.doc")));
}

TEST_F(ShellFileOp, AFailingRecordPutsTheItemBackAndAFailingRestoreKeepsItInTheBin) {
    MakeProgramFolder();
    auto before = Tree(C("Programme/Zepanu"));
    m.machine().store().Exec("CREATE TRIGGER full BEFORE INSERT ON recycle_bin "
                             "BEGIN SELECT RAISE(ABORT, 'store full'); END");
    BOOL aborted = 0;
    EXPECT_EQ(Delete(List({"C:\\Programme\\Zepanu"}), kToBin, &aborted),
              static_cast<int>(ERROR_WRITE_FAULT));
    EXPECT_EQ(aborted, TRUE);
    EXPECT_EQ(Tree(C("Programme/Zepanu")), before);
    EXPECT_TRUE(fs::is_empty(C("RECYCLED")));
    EXPECT_EQ(win::GetFileAttributesA("C:\\Programme\\Zepanu\\ZEPANU.EXE"),
              FILE_ATTRIBUTE_READONLY); // the store still knows it where it is
    EXPECT_TRUE(bin.Items().empty());

    m.machine().store().Exec("DROP TRIGGER full");
    ASSERT_EQ(Delete(List({"C:\\Programme\\Zepanu"})), 0);
    m.machine().store().Exec("CREATE TRIGGER keep BEFORE DELETE ON recycle_bin "
                             "BEGIN SELECT RAISE(ABORT, 'store full'); END");
    std::string why;
    auto id = bin.Items().at(0).id;
    EXPECT_THROW(bin.Restore(id, why), portable::StoreError);
    EXPECT_FALSE(fs::exists(C("Programme/Zepanu")));
    EXPECT_EQ(Tree(C("RECYCLED/" + bin.Items().at(0).stored)), before);
}

TEST_F(ShellFileOp, RestoreRecreatesMissingFoldersAndRefusesWhatIsInTheWay) {
    fs::create_directories(C("Daten/Tief/Tiefer"));
    WriteHostFile(C("Daten/Tief/Tiefer/f.txt"), "f");
    WriteHostFile(C("Daten/g.txt"), "g");
    ASSERT_EQ(Delete(List({"C:\\Daten\\Tief\\Tiefer\\f.txt", "C:\\Daten\\g.txt"})), 0);
    fs::remove_all(C("Daten/Tief"));
    WriteHostFile(C("Daten/g.txt"), "new g");

    std::string why;
    ASSERT_EQ(bin.Restore(1, why), ERROR_SUCCESS) << why;
    EXPECT_EQ(ReadHostFile(C("Daten/Tief/Tiefer/f.txt")), "f");

    EXPECT_EQ(bin.Restore(2, why), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(why, "C:\\Daten\\g.txt exists already; move it away, then restore again");
    EXPECT_EQ(ReadHostFile(C("Daten/g.txt")), "new g");
    EXPECT_EQ(ReadHostFile(C("RECYCLED/DC2.TXT")), "g");

    fs::remove(C("Daten/g.txt"));
    fs::remove_all(C("Daten"));
    WriteHostFile(C("Daten"), "a file where the folder was");
    EXPECT_EQ(bin.Restore(2, why), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(why, "C:\\Daten is a file where the item's folder was");
    EXPECT_EQ(bin.Restore(9, why), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(why, "no item 9 in the recycle bin");
    EXPECT_EQ(bin.Items().size(), 1u);
}

TEST_F(ShellFileOp, EmptyDeletesTheBinsContentsForGood) {
    MakeDataFiles();
    ASSERT_EQ(Delete(List({"C:\\Daten\\a.txt", "C:\\Daten\\Alt"})), 0);
    WriteHostFile(C("RECYCLED/INFO"), "not recorded");
    portable::EmptyReport report = bin.Empty();
    EXPECT_EQ(report.items, 2);
    EXPECT_EQ(report.others, 1);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_TRUE(fs::is_empty(C("RECYCLED")));
    EXPECT_TRUE(bin.Items().empty());
    EXPECT_TRUE(Journaled("recycle empty C:\\RECYCLED\\DC2 (C:\\Daten\\Alt)"));
    EXPECT_EQ(ReadHostFile(C("Daten/Brief an Anna.doc")), "Liebe Anna");
}

// Records and bins planted by whoever made the machine folder.
class CraftedBin : public ShellFileOp {
protected:
    TempDir outside;

    void SetUp() override { WriteHostFile(outside.path() / "secret.txt", "geheim"); }

    void Plant(std::int64_t id, std::string drive, std::string stored, std::string original) {
        m.machine()
            .store()
            .Prepare("INSERT INTO recycle_bin(id, drive, stored, original, deleted, size, folder)"
                     " VALUES(?1, ?2, ?3, ?4, 'x', 1, 0)")
            .Bind(1, id)
            .Bind(2, drive)
            .Bind(3, stored)
            .Bind(4, original)
            .Run();
    }
};

TEST_F(CraftedBin, RecordsPointingOutsideTheirDriveAreRefused) {
    WriteHostFile(C("RECYCLED/DC2"), "payload");
    const std::string escape = "C:\\Daten\\..\\..\\..\\" + outside.path().filename().string();
    struct Case {
        std::int64_t id;
        std::string drive, stored, original;
        DWORD expected;
        std::string why;
    } cases[] = {
        {1, "Q", "DQ1", "Q:\\x", ERROR_INVALID_DRIVE,
         "item 1 belongs to drive Q:, which this machine does not have"},
        {2, "C", "DC2", escape, ERROR_INVALID_DATA, "is not a plain full path"},
        {3, "C", "..\\WINDOWS\\WIN.INI", "C:\\gestohlen.ini", ERROR_INVALID_DATA,
         "is no name the bin gives"},
        {4, "C", "DC4/../../x", "C:\\y", ERROR_INVALID_DATA, "is no name the bin gives"},
        {5, "C", "DC5", "A:\\x", ERROR_INVALID_DATA, "is not on drive C:"},
        {6, "C", "DC6", "C:\\RECYCLED\\DC2", ERROR_INVALID_DATA, "lies in the bin"},
        {7, "C", "DC7", "Daten\\x", ERROR_INVALID_DATA, "is not a plain full path"},
        {8, "..", "DC8", "C:\\x", ERROR_INVALID_DATA, "no drive letter"},
        {9, "C", "DC2", "C:\\x", ERROR_INVALID_DATA, "is no name the bin gives"}, // not its id
    };
    for (const auto& c : cases)
        Plant(c.id, c.drive, c.stored, c.original);
    auto win = Tree(C("WINDOWS"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        std::string why;
        EXPECT_EQ(bin.Restore(c.id, why), c.expected);
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
    EXPECT_EQ(ReadHostFile(C("RECYCLED/DC2")), "payload");
    EXPECT_EQ(ReadHostFile(outside.path() / "secret.txt"), "geheim");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()), 1);

    // Emptying drops the damaged records without deleting what they name.
    portable::EmptyReport report = bin.Empty();
    EXPECT_EQ(report.problems.size(), 8u);
    EXPECT_TRUE(bin.Items().empty());
    EXPECT_EQ(Tree(C("WINDOWS")), win);
    EXPECT_EQ(ReadHostFile(outside.path() / "secret.txt"), "geheim");
}

TEST_F(CraftedBin, ABinThatIsALinkOutsideIsNeverWrittenThrough) {
    fs::remove(C("RECYCLED"));
    fs::create_directory_symlink(outside.path(), C("RECYCLED"));
    WriteHostFile(C("a.txt"), "a");
    EXPECT_NE(Delete(List({"C:\\a.txt"})), 0);
    EXPECT_EQ(ReadHostFile(C("a.txt")), "a");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()), 1);
    EXPECT_TRUE(bin.Items().empty());
    EXPECT_EQ(bin.Empty().items, 0);
    EXPECT_EQ(ReadHostFile(outside.path() / "secret.txt"), "geheim");
}

TEST(RecycleBinSchema, AMachineMadeBeforeTheBinGetsItsTableOnOpen) {
    TestMachine m;
    fs::path root = m.root();
    m.machine().store().Exec("DROP TABLE recycle_bin");
    portable::UseMachine(portable::Machine::Open(root));
    WriteHostFile(m.DriveC() / "a.txt", "a");
    std::string list = List({"C:\\a.txt"});
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = kToBin;
    EXPECT_EQ(win::SHFileOperationA(&op), 0);
    EXPECT_EQ(portable::RecycleBin(portable::CurrentFileSystem()).Items().size(), 1u);
}

} // namespace
