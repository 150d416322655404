// The folder the removal works on. The removal deletes files of the install manifest and
// schedules them for deletion at the next start, so it must never aim at a folder that is
// not the installed program folder: a copy of the setup program started with "UnInst"
// from elsewhere (the distribution medium, a download folder) would otherwise delete or
// schedule files of that name there. The uninstall entry names the installed copy, so the
// removal works on the entry's folder; the start folder counts only where it is that
// folder. Without an entry no program folder is known.
#pragma once

#include <optional>
#include <string>

namespace uninstall {

inline constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zepanu03DE";

// The program folder in its 8.3 form with one trailing backslash, or nothing when the
// uninstall entry is missing or does not name an installed copy ("<folder>\Zepsetup.exe
// UnInst").
std::optional<std::string> ProgramFolder();

// The folder named by an uninstall command line of that form, with its trailing
// backslash; nothing for any other command line.
std::optional<std::string> FolderOfUninstallCommand(std::string_view command);

} // namespace uninstall
