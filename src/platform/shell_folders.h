// The shell's folders as the registry names them (HKCU ...\Explorer\Shell Folders), read
// alike by both implementations of the shortcut toolkit.
#pragma once

#include <optional>
#include <string>

namespace win {

// The Programs folder of the start menu, when the registry gives it as a full path
// ("X:\..."): a relative one would depend on the current folder.
std::optional<std::string> ProgramsFolder();

} // namespace win
