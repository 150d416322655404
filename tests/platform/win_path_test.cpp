#include "platform/portable/files/win_path.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* path;
    const char* currentDir;
    DWORD rc;
    const char* full; // expected WinPath::ToString() when rc is ERROR_SUCCESS
};

TEST(WinPath, NormalisesLikeWin32) {
    const Row rows[] = {
        {"C:\\WINDOWS", "C:\\", ERROR_SUCCESS, "C:\\WINDOWS"},
        {"c:/windows/system/", "C:\\", ERROR_SUCCESS, "C:\\windows\\system"},
        {"C:\\", "D:\\", ERROR_SUCCESS, "C:\\"},
        {"C:", "C:\\WINDOWS", ERROR_SUCCESS, "C:\\WINDOWS"}, // that drive's folder
        {"C:", "D:\\X", ERROR_SUCCESS, "C:\\"},
        {"C:temp", "C:\\WINDOWS", ERROR_SUCCESS, "C:\\WINDOWS\\temp"},
        {"SYSTEM", "C:\\WINDOWS", ERROR_SUCCESS, "C:\\WINDOWS\\SYSTEM"},
        {"\\Programme", "C:\\WINDOWS", ERROR_SUCCESS, "C:\\Programme"},
        {"C:\\a\\.\\b\\..\\c", "C:\\", ERROR_SUCCESS, "C:\\a\\c"},
        {"C:\\..\\..\\..\\etc\\passwd", "C:\\", ERROR_SUCCESS, "C:\\etc\\passwd"},
        {"..\\..\\..", "C:\\WINDOWS", ERROR_SUCCESS, "C:\\"},
        {"C:\\readme.txt. . ", "C:\\", ERROR_SUCCESS, "C:\\readme.txt"},
        {"C:\\a\\\\b", "C:\\", ERROR_SUCCESS, "C:\\a\\b"},
        {"", "C:\\", ERROR_INVALID_NAME, ""},
        {"\\\\server\\share\\x", "C:\\", ERROR_INVALID_NAME, ""},
        {"\\\\.\\PhysicalDrive0", "C:\\", ERROR_INVALID_NAME, ""},
        {"C:\\a*b\\c", "C:\\", ERROR_INVALID_NAME, ""},
        {"C:\\a\\b?", "C:\\", ERROR_INVALID_NAME, ""},
        {"C:\\a<b", "C:\\", ERROR_INVALID_NAME, ""},
        {"C:\\CON", "C:\\", ERROR_INVALID_NAME, ""},
        {"C:\\x\\aux.txt", "C:\\", ERROR_INVALID_NAME, ""},
        {"1:\\x", "C:\\", ERROR_INVALID_NAME, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        portable::WinPath parsed;
        ASSERT_EQ(portable::ParseWinPath(row.path, row.currentDir, parsed), row.rc);
        if (row.rc == ERROR_SUCCESS) {
            EXPECT_EQ(parsed.ToString(), row.full);
        }
    }
}

TEST(WinPath, LengthLimits) {
    portable::WinPath parsed;
    std::string longest = "C:\\" + std::string(255, 'a');
    EXPECT_EQ(portable::ParseWinPath(longest, "C:\\", parsed), ERROR_SUCCESS);
    EXPECT_EQ(portable::ParseWinPath("C:\\" + std::string(256, 'a'), "C:\\", parsed),
              ERROR_FILENAME_EXCED_RANGE);
    std::string deep = "C:";
    while (deep.size() < 300)
        deep += "\\abcdefgh";
    EXPECT_EQ(portable::ParseWinPath(deep, "C:\\", parsed), ERROR_FILENAME_EXCED_RANGE);
    // Short as written, too long once joined to the current folder.
    std::string cwd = "C:\\" + std::string(200, 'b');
    EXPECT_EQ(portable::ParseWinPath(std::string(80, 'c'), cwd, parsed),
              ERROR_FILENAME_EXCED_RANGE);
}

TEST(WinPath, WildcardsOnlyInTheLeafWhenAllowed) {
    portable::WinPath parsed;
    EXPECT_EQ(portable::ParseWinPath("C:\\WINDOWS\\*.*", "C:\\", parsed, true), ERROR_SUCCESS);
    EXPECT_EQ(parsed.components.back(), "*.*");
    EXPECT_EQ(portable::ParseWinPath("C:\\WIN*\\x", "C:\\", parsed, true), ERROR_INVALID_NAME);
    EXPECT_EQ(portable::ParseWinPath("C:\\WINDOWS\\*.*", "C:\\", parsed, false),
              ERROR_INVALID_NAME);
}

} // namespace
