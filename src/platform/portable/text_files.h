// Whole-file reads and crash-safe replacement of small text files of the machine (INI
// files): the new contents go to a sibling file that is then renamed over the old one,
// so a reader sees the old file or the new one, never a torn one.
#pragma once

#include "platform/win_types.h"

#include <string>
#include <string_view>

namespace portable {

class FileSystem;

// The bytes of an existing file (Windows path, ANSI).
DWORD ReadWholeFile(FileSystem& files, std::string_view path, std::string& out);
// Writes bytes to path through a sibling "NAME.$$$" renamed over path.
DWORD ReplaceWholeFile(FileSystem& files, std::string_view path, std::string_view bytes);

} // namespace portable
