// Lines of WININIT.INI's [RENAME] section, which Windows processes at its next start
// ("NUL=path" deletes a file, "dest=src" renames one). The same key NUL appears on many
// lines, so the lines are added as text, not through the profile functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wininit {

// text (ANSI, as read from WININIT.INI; empty when there is none) with each of lines
// added to its first [RENAME] section (header case-insensitive) unless one of its [RENAME]
// sections already has it (compared without regard to case), after the section's last
// non-empty line. Without a section, header, the lines and an empty line are added at the
// end. Everything else stays as it was; lines end in CR LF.
std::string WithRenameLines(std::string_view text, const std::vector<std::string>& lines,
                            std::string_view header = "[RENAME]");

// Adds lines (UTF-8) to WININIT.INI in the Windows folder, in a new section headed header
// when it has none. The new file is written beside the old one and renamed over it, so a
// crash leaves the old file or the new one, and what other programs scheduled stays.
// Run-time error 75 when it cannot be read or written.
void AddRenameLines(const std::vector<std::string>& lines, std::string_view header = "[RENAME]");

} // namespace wininit
