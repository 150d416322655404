// Profile files, the shell's delete and the shortcut toolkit, as the program uses them, on
// the portable machine and on Windows.
#include "conformance/conformance_env.h"
#include "platform/advapi32.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/shortcut_toolkit.h"

#include <string>

namespace {

using Profile = conformance::Test;

// Entries as a reader sees them (the file's exact bytes are the implementation's).
TEST_F(Profile, EntriesAreSetAndDeleted) {
    std::string file = env.Path("TEST.INI");
    EXPECT_TRUE(win::WritePrivateProfileStringA("vcache", "MinFileCache", "512", file.c_str()));
    EXPECT_TRUE(win::WritePrivateProfileStringA("vcache", "MaxFileCache", "2048", file.c_str()));
    EXPECT_TRUE(win::WritePrivateProfileStringA("andere", "x", "1", file.c_str()));
    std::string text = env.Read("TEST.INI");
    EXPECT_NE(text.find("[vcache]\r\nMinFileCache=512\r\nMaxFileCache=2048\r\n"), std::string::npos)
        << text;
    EXPECT_TRUE(win::WritePrivateProfileStringA("vcache", "MinFileCache", nullptr, file.c_str()));
    text = env.Read("TEST.INI");
    EXPECT_EQ(text.find("MinFileCache"), std::string::npos) << text;
    EXPECT_NE(text.find("MaxFileCache=2048"), std::string::npos) << text;
    EXPECT_TRUE(win::WritePrivateProfileStringA("vcache", nullptr, nullptr, file.c_str()));
    text = env.Read("TEST.INI");
    EXPECT_EQ(text.find("vcache"), std::string::npos) << text;
    EXPECT_NE(text.find("[andere]\r\nx=1\r\n"), std::string::npos) << text;
}

class ShellFileOp : public conformance::Test {
protected:
    int Delete(const std::string& from, FILEOP_FLAGS flags) {
        std::string list = from + '\0' + '\0';
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = list.c_str();
        op.fFlags = flags | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        return win::SHFileOperationA(&op);
    }
    void Tree() {
        ASSERT_TRUE(win::CreateDirectoryA(env.Path("Zepanu").c_str(), nullptr));
        ASSERT_TRUE(win::CreateDirectoryA(env.Path("Zepanu\\Hilfe").c_str(), nullptr));
        env.Write("Zepanu\\ZEPANU.EXE", "MZ");
        env.Write("Zepanu\\Hilfe\\Seite.htm", "<p>");
        env.Write("Zepanu\\a.txt", "a");
        env.Write("Zepanu\\b.txt", "b");
    }
};

TEST_F(ShellFileOp, AFolderIsDeletedWholeReadOnlyEntriesIncluded) {
    Tree();
    win::SetFileAttributesA(env.Path("Zepanu\\ZEPANU.EXE").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Delete(env.Path("Zepanu"), 0), 0);
    EXPECT_FALSE(env.Exists("Zepanu"));
}

TEST_F(ShellFileOp, TheRecycleBinTakesAFolderOutOfItsPlace) {
    Tree();
    EXPECT_EQ(Delete(env.Path("Zepanu"), FOF_ALLOWUNDO), 0);
    EXPECT_FALSE(env.Exists("Zepanu"));
}

TEST_F(ShellFileOp, WildcardsMatchInTheLastComponent) {
    Tree();
    EXPECT_EQ(Delete(env.Path("Zepanu\\*.txt"), 0), 0);
    EXPECT_FALSE(env.Exists("Zepanu\\a.txt"));
    EXPECT_FALSE(env.Exists("Zepanu\\b.txt"));
    EXPECT_TRUE(env.Exists("Zepanu\\ZEPANU.EXE"));
    EXPECT_TRUE(env.Exists("Zepanu\\Hilfe\\Seite.htm"));
}

// The codes differ (Windows 95 and the portable machine give Win32 errors, the NT family
// its own DE_ codes); the program only asks for non-zero.
TEST_F(ShellFileOp, AMissingPathFailsAndDeletesNothing) {
    Tree();
    std::string list = env.Path("Zepanu\\a.txt") + '\0' + env.Path("fehlt.txt") + '\0' + '\0';
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    EXPECT_NE(win::SHFileOperationA(&op), 0);
    // Wine deletes the items before the missing one; the program deletes one item at a time.
    EXPECT_TODO_WINE(env.Exists("Zepanu\\a.txt"));
}

class ShortcutToolkit : public conformance::Test {
protected:
    std::string Programs() {
        HKEY key = nullptr;
        EXPECT_EQ(win::RegOpenKeyExA(HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                     "Shell Folders",
                                     0, KEY_QUERY_VALUE, &key),
                  static_cast<LONG>(ERROR_SUCCESS));
        char buffer[MAX_PATH] = {};
        DWORD size = sizeof buffer;
        win::RegQueryValueExA(key, "Programs", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer),
                              &size);
        win::RegCloseKey(key);
        return buffer;
    }
    bool Exists(const std::string& path) {
        return win::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    void TearDown() override {
        std::string group = Programs() + "\\" + group_;
        win::DeleteFileA((group + "\\Zepanu.lnk").c_str());
        win::RemoveDirectoryA((group + "\\Unter").c_str());
        win::RemoveDirectoryA(group.c_str());
    }
    std::string group_ = "Zepsetup Test " + env.Folder().substr(env.Folder().size() - 4);
};

TEST_F(ShortcutToolkit, GroupsAndLinksLieUnderTheProgramsFolder) {
    std::string programs = Programs();
    ASSERT_FALSE(programs.empty());
    env.Write("Zepanu.exe", "MZ");
    std::string target = env.Path("Zepanu.exe");
    EXPECT_EQ(win::fCreateShellFolder(("\\" + group_ + "\\Unter").c_str()), 1);
    EXPECT_TRUE(Exists(programs + "\\" + group_ + "\\Unter"));
    EXPECT_EQ(win::fCreateShellFolder(group_.c_str()), 1); // existing: success
    EXPECT_EQ(win::fCreateShellLink(group_.c_str(), "Zepanu", target.c_str(), ""), 1);
    EXPECT_TRUE(Exists(programs + "\\" + group_ + "\\Zepanu.lnk"));
    EXPECT_EQ(win::fCreateShellLink(group_.c_str(), "Zepanu", target.c_str(), "/x"), 1);
    EXPECT_EQ(win::fCreateShellLink(group_.c_str(), "a\\b", target.c_str(), ""), 0);
    EXPECT_EQ(win::fRemoveShellLink(group_.c_str(), "Zepanu"), 1);
    EXPECT_FALSE(Exists(programs + "\\" + group_ + "\\Zepanu.lnk"));
    EXPECT_EQ(win::fRemoveShellLink(group_.c_str(), "Zepanu"), 0);
}

} // namespace
