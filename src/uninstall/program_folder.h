// The folder the removal works on. The removal deletes the installed files and schedules
// them for deletion at the next start, so it must aim at one installation of the program
// and nothing else:
// - started from a folder that is itself an installation (it holds the installed setup
//   program and the suite's programs), it removes that folder: with two installations
//   side by side, each copy removes its own;
// - otherwise (the distribution medium, a download folder with a copy of the setup
//   program) it removes the folder the uninstall entry names;
// - neither, but an installation was cut off before it wrote its entry
//   (program/unfinished_installation.h): the folder it recorded;
// - none of these: no program folder is known, and no file is deleted or scheduled.
// The removal decides once, when it starts (KillPrBarForm::Folder): its own deletions
// change what the start folder holds.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace uninstall {

inline constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zepanu03DE";

// The program folder in its 8.3 form with one trailing backslash, by the rule above.
std::optional<std::string> ProgramFolder();

// The folder the uninstall entry names, in its 8.3 form with one trailing backslash; nothing
// when the entry is missing or does not name an installed copy ("<folder>\Zepsetup.exe
// UnInst").
std::optional<std::string> EntryFolder();

// Deletes the uninstall entry when it names folder (or nothing an installation could be
// found by): another installation the entry names still needs it.
void ForgetUninstallEntry(const std::optional<std::string>& folder);

// Whether folder (with its trailing backslash) holds the setup program and every program
// the installation puts beside it.
bool IsInstallation(std::string_view folder);

// Whether two folders in the form above are the same, compared without case.
bool SameFolder(std::string_view a, std::string_view b);

// The folder named by an uninstall command line of that form, with its trailing
// backslash; nothing for any other command line.
std::optional<std::string> FolderOfUninstallCommand(std::string_view command);

} // namespace uninstall
