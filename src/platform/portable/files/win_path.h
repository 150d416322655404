// Parsing of Windows paths into a drive letter and normalised components, the way Win32
// turns a path into a full path before it reaches the file system: '/' and '\' both
// separate, '.' and '..' are resolved lexically and never climb above the drive's root,
// trailing dots and blanks of a component are dropped. No host file system is touched.
#pragma once

#include "platform/win_types.h"

#include <string>
#include <string_view>
#include <vector>

namespace portable {

struct WinPath {
    char drive = 0;                      // upper case
    std::vector<std::string> components; // Windows-1252, as written (case kept)
    bool trailingSeparator = false;

    bool IsRoot() const { return components.empty(); }
    // "C:\A\B" form (Windows-1252).
    std::string ToString() const;
};

// Parses ansiPath relative to currentDir (a full path such as "C:\" or "C:\WINDOWS").
// Returns ERROR_SUCCESS, or the Win32 error the path earns: ERROR_INVALID_NAME (empty
// path, forbidden characters, wildcards, device names, UNC paths), ERROR_INVALID_DRIVE,
// ERROR_FILENAME_EXCED_RANGE (longer than MAX_PATH, or a component over 255 characters).
// With allowWildcardLeaf the last component may hold * and ? (for FindFirstFileA).
DWORD ParseWinPath(std::string_view ansiPath, std::string_view currentDir, WinPath& out,
                   bool allowWildcardLeaf = false);

} // namespace portable
