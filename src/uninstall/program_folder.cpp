#include "uninstall/program_folder.h"

#include "forms/on_error.h"
#include "platform/codepage.h"
#include "platform/text_lines.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

namespace uninstall {
namespace {

constexpr std::string_view kCommand = "\\Zepsetup.exe UnInst";

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

std::optional<std::string> ProgramFolder() {
    std::string command;
    forms::OnError run(forms::ResumeNext);
    run([&] {
        command = WinRegistry::ReadMachineValue(kUninstallKey, "UninstallString").ToString();
    });
    std::optional<std::string> folder = FolderOfUninstallCommand(command);
    if (!folder)
        return std::nullopt;
    // The entry holds the short form already; an existing folder is asked for its own.
    std::string shortForm = Setup_API::GetShortPath(*folder);
    return shortForm.empty() ? *folder : Setup_API::AddBackslash(shortForm);
}

} // namespace uninstall
