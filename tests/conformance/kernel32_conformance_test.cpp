// kernel32 as the program uses it, the same on the portable machine and on Windows:
// poisoned buffers and last error before each call, then what must change and what must
// stay.
#include "conformance/conformance_env.h"
#include "platform/kernel32.h"

#include <cstring>
#include <set>
#include <string>

namespace {

constexpr DWORD kPoison = 0xdeadbeef;

using Kernel32 = conformance::Test;

TEST_F(Kernel32, FolderQueriesFollowTheBufferContract) {
    char buffer[MAX_PATH];
    UINT n = win::GetWindowsDirectoryA(buffer, sizeof buffer);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(std::strlen(buffer), n);
    std::memset(buffer, 0xA5, sizeof buffer);
    EXPECT_EQ(win::GetWindowsDirectoryA(buffer, n), n + 1); // too small: size with the NUL
    EXPECT_EQ(win::GetSystemDirectoryA(nullptr, 0) > n, true);

    DWORD temp = win::GetTempPathA(sizeof buffer, buffer);
    ASSERT_GT(temp, 3u);
    EXPECT_EQ(buffer[temp - 1], '\\');
    EXPECT_EQ(win::GetTempPathA(0, nullptr), temp + 1);
}

TEST_F(Kernel32, FoldersAreCreatedAndRemoved) {
    std::string folder = env.Path("Neu");
    EXPECT_TRUE(win::CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(win::GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              FILE_ATTRIBUTE_DIRECTORY);
    win::SetLastError(kPoison);
    EXPECT_FALSE(win::CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(win::GetLastError(), ERROR_ALREADY_EXISTS);
    win::SetLastError(kPoison);
    EXPECT_FALSE(win::CreateDirectoryA(env.Path("Fehlt\\Neu").c_str(), nullptr));
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);

    env.Write("Neu\\a.txt", "a");
    win::SetLastError(kPoison);
    EXPECT_FALSE(win::RemoveDirectoryA(folder.c_str()));
    EXPECT_EQ(win::GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(win::DeleteFileA(env.Path("Neu\\a.txt").c_str()));
    EXPECT_TRUE(win::RemoveDirectoryA(folder.c_str()));
    EXPECT_EQ(win::GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Kernel32, MissingFilesAndPathsAreToldApart) {
    win::SetLastError(kPoison);
    EXPECT_EQ(win::GetFileAttributesA(env.Path("fehlt.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    win::SetLastError(kPoison);
    EXPECT_EQ(win::GetFileAttributesA(env.Path("fehlt\\x.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
    win::SetLastError(kPoison);
    EXPECT_EQ(win::CreateFileA(env.Path("fehlt.txt").c_str(), GENERIC_READ, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    win::SetLastError(kPoison);
    EXPECT_FALSE(win::DeleteFileA(env.Path("fehlt.txt").c_str()));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Kernel32, ReadOnlyIsHonoured) {
    env.Write("fest.txt", "bleibt");
    std::string path = env.Path("fest.txt");
    ASSERT_TRUE(win::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(win::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY,
              FILE_ATTRIBUTE_READONLY);
    win::SetLastError(kPoison);
    EXPECT_FALSE(win::DeleteFileA(path.c_str()));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    // Wine leaves this check to the host's file permissions, which root passes.
    win::SetLastError(kPoison);
    HANDLE h = win::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD error = win::GetLastError();
    if (h != INVALID_HANDLE_VALUE)
        win::CloseHandle(h);
    if (conformance::OnWineAsRoot()) {
        EXPECT_TODO_WINE(h == INVALID_HANDLE_VALUE);
    } else {
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(error, ERROR_ACCESS_DENIED);
        EXPECT_EQ(env.Read("fest.txt"), "bleibt");
    }
    ASSERT_TRUE(win::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(win::DeleteFileA(path.c_str()));
}

TEST_F(Kernel32, FileStreamsAndDispositions) {
    std::string path = env.Path("Zepanu.reg");
    HANDLE h = win::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(win::WriteFile(h, "REGEDIT4\r\n", 10, &n, nullptr));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(win::GetFileSize(h, nullptr), 10u);
    EXPECT_TRUE(win::CloseHandle(h));

    win::SetLastError(kPoison);
    EXPECT_EQ(win::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_EXISTS);

    // OPEN_ALWAYS keeps the contents; appending at the end.
    h = win::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0,
                         nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::SetFilePointer(h, 0, nullptr, FILE_END), 10u);
    EXPECT_TRUE(win::WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_EQ(win::SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    char buffer[32] = {};
    EXPECT_TRUE(win::ReadFile(h, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(std::string(buffer, n), "REGEDIT4\r\nx");
    EXPECT_TRUE(win::ReadFile(h, buffer, sizeof buffer, &n, nullptr)); // at the end: 0 read
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(win::CloseHandle(h));

    // TRUNCATE_EXISTING empties; CREATE_ALWAYS replaces.
    h = win::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetFileSize(h, nullptr), 0u);
    win::CloseHandle(h);
    env.Write("Zepanu.reg", "neu");
    EXPECT_EQ(env.Read("Zepanu.reg"), "neu");
}

TEST_F(Kernel32, MovesReplaceOnlyWhenAsked) {
    env.Write("alt.ini", "alt");
    env.Write("neu.ini", "neu");
    win::SetLastError(kPoison);
    EXPECT_FALSE(win::MoveFileA(env.Path("neu.ini").c_str(), env.Path("alt.ini").c_str()));
    EXPECT_EQ(win::GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(win::MoveFileExA(env.Path("neu.ini").c_str(), env.Path("alt.ini").c_str(),
                                 MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(env.Read("alt.ini"), "neu");
    EXPECT_FALSE(env.Exists("neu.ini"));
    EXPECT_TRUE(win::MoveFileA(env.Path("alt.ini").c_str(), env.Path("Umbenannt.ini").c_str()));
    EXPECT_EQ(env.Read("Umbenannt.ini"), "neu");
}

TEST_F(Kernel32, FindEnumeratesEveryEntryWithItsAttributes) {
    env.Write("Liesmich.txt", "1");
    env.Write("Brief an Anna.doc", "22");
    ASSERT_TRUE(win::CreateDirectoryA(env.Path("Hilfe").c_str(), nullptr));
    WIN32_FIND_DATAA data;
    HANDLE find = win::FindFirstFileA(env.Path("*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::set<std::string> names;
    do {
        std::string name = data.cFileName;
        names.insert(name);
        if (name == "Brief an Anna.doc") {
            EXPECT_EQ(data.nFileSizeLow, 2u);
            // A long name has its 8.3 alias beside it; its form differs (see ShortPaths).
            EXPECT_NE(data.cAlternateFileName[0], '\0');
        }
        if (name == "Hilfe") {
            EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        }
    } while (win::FindNextFileA(find, &data));
    EXPECT_EQ(win::GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(win::FindClose(find));
    names.erase(".");
    names.erase("..");
    EXPECT_EQ(names, (std::set<std::string>{"Brief an Anna.doc", "Hilfe", "Liesmich.txt"}));

    win::SetLastError(kPoison);
    EXPECT_EQ(win::FindFirstFileA(env.Path("*.xyz").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
}

// Every component of a short path is 8.3 and the short path names the same file. How an
// alias is formed differs: Windows 95 numbers them (DOVEK'~1.0), Wine hashes the long name.
TEST_F(Kernel32, ShortPaths) {
    ASSERT_TRUE(win::CreateDirectoryA(env.Path("Dovek's Zepanu's 1.0").c_str(), nullptr));
    env.Write("Dovek's Zepanu's 1.0\\Zepanu Hilfe.htm", "hilfe");
    std::string longPath = env.Path("Dovek's Zepanu's 1.0\\Zepanu Hilfe.htm");
    char buffer[MAX_PATH];
    DWORD n = win::GetShortPathNameA(longPath.c_str(), buffer, sizeof buffer);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, sizeof buffer);
    std::string shortPath(buffer, n);
    size_t start = shortPath.find_last_of('\\', shortPath.find_last_of('\\') - 1) + 1;
    for (size_t at = start; at < shortPath.size();) {
        size_t end = shortPath.find('\\', at);
        std::string component = shortPath.substr(at, end == std::string::npos ? end : end - at);
        size_t dot = component.find('.');
        EXPECT_LE(dot == std::string::npos ? component.size() : dot, 8u) << component;
        if (dot != std::string::npos) {
            EXPECT_LE(component.size() - dot - 1, 3u) << component;
        }
        at = end == std::string::npos ? shortPath.size() : end + 1;
    }
    HANDLE h = win::CreateFileA(shortPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << shortPath;
    EXPECT_EQ(win::GetFileSize(h, nullptr), 5u);
    win::CloseHandle(h);
    EXPECT_EQ(win::GetShortPathNameA(longPath.c_str(), buffer, 4), n + 1);
    win::SetLastError(kPoison);
    EXPECT_EQ(win::GetShortPathNameA(env.Path("fehlt.txt").c_str(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Kernel32, CurrentFolderAndRelativePaths) {
    char before[MAX_PATH];
    DWORD n = win::GetCurrentDirectoryA(sizeof before, before);
    ASSERT_GT(n, 0u);
    ASSERT_TRUE(win::SetCurrentDirectoryA(env.Folder().c_str()));
    char buffer[MAX_PATH];
    EXPECT_EQ(win::GetCurrentDirectoryA(sizeof buffer, buffer), env.Folder().size());
    EXPECT_TRUE(win::CreateDirectoryA("Relativ", nullptr));
    HANDLE h =
        win::CreateFileA("Relativ\\r.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    win::CloseHandle(h);
    EXPECT_TRUE(env.Exists("Relativ\\r.txt"));
    win::SetLastError(kPoison);
    EXPECT_FALSE(win::SetCurrentDirectoryA(env.Path("fehlt").c_str()));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(win::SetCurrentDirectoryA(before));
}

TEST_F(Kernel32, TheWorkFolderIsOnAFixedDriveOfTheList) {
    char drives[128] = {};
    DWORD n = win::GetLogicalDriveStringsA(sizeof drives, drives);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(drives[n], '\0');
    std::string root = env.Folder().substr(0, 3);
    bool listed = false;
    for (DWORD i = 0; i < n; i += 4)
        listed = listed || (std::string(drives + i) == root);
    EXPECT_TRUE(listed) << root;
    EXPECT_EQ(win::GetDriveTypeA(root.c_str()), DRIVE_FIXED);
    // A folder is no root; Wine answers with the type of the folder's drive.
    EXPECT_TODO_WINE(win::GetDriveTypeA(env.Folder().c_str()) == DRIVE_NO_ROOT_DIR);
}

} // namespace
