// Reads and crash-safe replacement of text files of the machine (INI files): the new
// contents go to a sibling file that is then renamed over the old one, so a reader sees the
// old file or the new one, never a torn one. Large files are read and written as streams.
#pragma once

#include "platform/text_lines.h"
#include "platform/win_types.h"

#include <functional>
#include <string>
#include <string_view>

namespace portable {

class FileSystem;

// The bytes of an open file, read in blocks.
win::ByteSource FdSource(int fd);
// Writes what write gives its sink to path through a sibling "NAME.$$$" renamed over path;
// write returns false when it could not give all of it (the old file then stays).
DWORD ReplaceFileStreamed(FileSystem& files, std::string_view path,
                          const std::function<bool(const win::ByteSink&)>& write);
// Writes bytes to path through a sibling "NAME.$$$" renamed over path.
DWORD ReplaceWholeFile(FileSystem& files, std::string_view path, std::string_view bytes);

} // namespace portable
