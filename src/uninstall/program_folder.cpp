#include "uninstall/program_folder.h"

#include "forms/app_object.h"
#include "forms/on_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/text_lines.h"
#include "program/unfinished_installation.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"
#include "uninstall/removal_lists.h"

namespace uninstall {
namespace {

constexpr std::string_view kCommand = "\\Zepsetup.exe UnInst";

bool IsFile(const std::string& path) {
    DWORD attributes = win::GetFileAttributesA(win::ToAnsi(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The short form of an existing folder with one trailing backslash; the folder as given
// when it does not exist.
std::string ShortFolder(const std::string& folder) {
    std::string shortForm = Setup_API::GetShortPath(folder);
    return shortForm.empty() ? folder : Setup_API::AddBackslash(shortForm);
}

// The folder the removal was started from, when it is an installation.
std::optional<std::string> StartInstallation() {
    std::string start;
    forms::OnError run(forms::ResumeNext);
    run([&] { start = ShortFolder(Setup_API::AddBackslash(forms::App::Path())); });
    if (start.empty() || !IsInstallation(start))
        return std::nullopt;
    return start;
}

} // namespace

std::optional<std::string> FolderOfUninstallCommand(std::string_view command) {
    if (!win::EndsWithNoCase(win::ToAnsi(command), kCommand) || command.size() <= kCommand.size())
        return std::nullopt;
    std::string folder(command.substr(0, command.size() - kCommand.size() + 1));
    // A drive and at least one folder: "C:\x\".
    if (folder.size() < 4 || folder[1] != ':' || folder[2] != '\\')
        return std::nullopt;
    return folder;
}

bool IsInstallation(std::string_view folder) {
    for (std::string_view name : kRestartFromProgramFolder) {
        if (!IsFile(std::string(folder) + std::string(name)))
            return false;
    }
    return true;
}

bool SameFolder(std::string_view a, std::string_view b) {
    return win::AnsiEqualsNoCase(win::ToAnsi(a), win::ToAnsi(b));
}

std::optional<std::string> EntryFolder() {
    std::string command;
    forms::OnError run(forms::ResumeNext);
    run([&] {
        command = WinRegistry::ReadMachineValue(kUninstallKey, "UninstallString").ToString();
    });
    std::optional<std::string> folder = FolderOfUninstallCommand(command);
    if (!folder)
        return std::nullopt;
    // The entry holds the short form already; an existing folder is asked for its own.
    return ShortFolder(*folder);
}

void ForgetUninstallEntry(const std::optional<std::string>& folder) {
    std::optional<std::string> named = EntryFolder();
    if (!named || (folder && SameFolder(*named, *folder)))
        WinRegistry::DeleteKey(WinRegistry::HKLM, kUninstallKey);
}

std::optional<std::string> ProgramFolder() {
    if (std::optional<std::string> start = StartInstallation())
        return start;
    if (std::optional<std::string> named = EntryFolder())
        return named;
    // An installation cut off before it wrote its entry.
    std::optional<std::string> unfinished;
    forms::OnError run(forms::ResumeNext);
    run([&] { unfinished = app::UnfinishedInstallationFolder(); });
    return unfinished;
}

} // namespace uninstall
