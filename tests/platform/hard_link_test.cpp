// Hard links planted in a drive, each another name of a file outside the machine: whatever
// the machine does to such a name, the file outside keeps its bytes and its mode.
#include "platform/kernel32.h"
#include "platform/lz32.h"
#include "platform/shell32.h"
#include "platform/shortcut_toolkit.h"

#include "platform/portable/files/file_system.h"
#include "platform/portable/files/recycle_bin.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::TempDir;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

class HardLinks : public ::testing::Test {
protected:
    TestMachine m;
    TempDir outside;

    // outside/NAME with text, linked into the machine as drive_c/inside.
    fs::path Plant(const std::string& name, const fs::path& inside, const std::string& text) {
        fs::path canary = outside.path() / name;
        WriteHostFile(canary, text);
        fs::permissions(canary, fs::perms(0644));
        fs::create_directories(inside.parent_path());
        fs::create_hard_link(canary, inside);
        return canary;
    }

    static std::uintmax_t Links(const fs::path& p) { return fs::hard_link_count(p); }
    static unsigned Mode(const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    }

    // The canary is untouched and the machine's name is a file of its own.
    void ExpectApart(const fs::path& canary, const std::string& text, const fs::path& inside) {
        EXPECT_EQ(ReadHostFile(canary), text) << canary;
        EXPECT_EQ(Mode(canary), 0644u) << canary;
        EXPECT_EQ(Links(canary), 1u) << canary;
        if (fs::exists(inside)) {
            EXPECT_EQ(Links(inside), 1u) << inside;
        }
    }

    static bool Write(const char* path, DWORD disposition, const std::string& text) {
        HANDLE h = win::CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        BOOL ok =
            win::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        win::CloseHandle(h);
        return ok && written == text.size();
    }
};

TEST_F(HardLinks, WritesAndTruncationsGoToAFileOfTheMachinesOwn) {
    struct Case {
        const char* path;
        DWORD disposition;
        std::string expected; // of the machine's file, after writing "NEU"
    };
    const Case cases[] = {
        {"C:\\always.txt", CREATE_ALWAYS, "NEU"},
        {"C:\\existing.txt", OPEN_EXISTING, "NEUustand"}, // written over the start
        {"C:\\openalways.txt", OPEN_ALWAYS, "NEUustand"},
        {"C:\\truncate.txt", TRUNCATE_EXISTING, "NEU"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        fs::path inside = m.DriveC() / (c.path + 3);
        fs::path canary = Plant(c.path + 3, inside, "Urzustand");
        ASSERT_TRUE(Write(c.path, c.disposition, "NEU"));
        ExpectApart(canary, "Urzustand", inside);
        EXPECT_EQ(ReadHostFile(inside), c.expected);
        EXPECT_EQ(Mode(inside), 0644u);
    }
}

TEST_F(HardLinks, ReplacingRenamingOverAndDeletingDropOnlyTheMachinesName) {
    // WritePrivateProfileString writes a sibling and renames it over the file.
    fs::path ini = m.DriveC() / "WINDOWS" / "HARD.INI";
    fs::path iniCanary = Plant("hard.ini", ini, "[a]\r\nx=1\r\n");
    ASSERT_TRUE(win::WritePrivateProfileStringA("a", "y", "2", "C:\\WINDOWS\\HARD.INI"));
    ExpectApart(iniCanary, "[a]\r\nx=1\r\n", ini);
    EXPECT_EQ(ReadHostFile(ini), "[a]\r\nx=1\r\ny=2\r\n");

    // The sibling itself may be planted as a link.
    fs::path sibling = m.DriveC() / "WINDOWS" / "HARD2.$$$";
    fs::path siblingCanary = Plant("sibling", sibling, "draussen");
    ASSERT_TRUE(win::WritePrivateProfileStringA("b", "z", "3", "C:\\WINDOWS\\HARD2.INI"));
    ExpectApart(siblingCanary, "draussen", sibling);

    fs::path over = m.DriveC() / "over.txt";
    fs::path overCanary = Plant("over", over, "Ziel");
    WriteHostFile(m.DriveC() / "quelle.txt", "Quelle");
    ASSERT_TRUE(win::MoveFileExA("C:\\quelle.txt", "C:\\over.txt", MOVEFILE_REPLACE_EXISTING));
    ExpectApart(overCanary, "Ziel", over);
    EXPECT_EQ(ReadHostFile(over), "Quelle");

    fs::path gone = m.DriveC() / "gone.txt";
    fs::path goneCanary = Plant("gone", gone, "bleibt");
    ASSERT_TRUE(win::DeleteFileA("C:\\gone.txt"));
    ExpectApart(goneCanary, "bleibt", gone);
    EXPECT_FALSE(fs::exists(gone));
}

TEST_F(HardLinks, ExpansionTheRecycleBinAndShortcutsLeaveTheOutsideAlone) {
    fs::path dest = m.DriveC() / "ziel.txt";
    fs::path destCanary = Plant("ziel", dest, "alt");
    WriteHostFile(m.DriveC() / "quelle.txt", "ausgepackt");
    OFSTRUCT of{};
    std::string from = "C:\\quelle.txt", to = "C:\\ziel.txt";
    INT src = win::LZOpenFileA(from.data(), &of, OF_READ);
    INT dst = win::LZOpenFileA(to.data(), &of, OF_CREATE);
    ASSERT_GE(src, 0);
    ASSERT_GE(dst, 0);
    EXPECT_EQ(win::LZCopy(src, dst), 10);
    win::LZClose(src);
    win::LZClose(dst);
    ExpectApart(destCanary, "alt", dest);
    EXPECT_EQ(ReadHostFile(dest), "ausgepackt");

    fs::path binned = m.DriveC() / "weg.txt";
    fs::path binCanary = Plant("weg", binned, "im Papierkorb");
    std::string list = std::string("C:\\weg.txt") + '\0' + '\0';
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    ASSERT_EQ(win::SHFileOperationA(&op), 0);
    portable::RecycleBin(portable::CurrentFileSystem()).Empty();
    EXPECT_EQ(ReadHostFile(binCanary), "im Papierkorb");

    fs::path programs = m.DriveC() / "WINDOWS" / "Startmenü" / "Programme";
    fs::path link = programs / "Zepanu.lnk";
    fs::path linkCanary = Plant("link", link, "kein Link");
    ASSERT_EQ(win::fCreateShellLink("", "Zepanu", "C:\\ZEPANU.EXE", nullptr), 1);
    ExpectApart(linkCanary, "kein Link", link);
    EXPECT_NE(ReadHostFile(link), "kein Link");
}

} // namespace
