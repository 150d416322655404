// The shortcut removal: the desktop shortcut and the group's shortcuts through the
// shortcut toolkit, then the group's folder if it is empty. No handler of its own: the
// first failing statement ends the step (a group folder the user put a file into is not
// removed, and the bar is not advanced for it).
#include "uninstall/KillPrBar.h"

#include "forms/file_statements.h"
#include "platform/codepage.h"
#include "platform/shortcut_toolkit.h"
#include "system/WinRegistry.h"

#include <array>
#include <string_view>

namespace uninstall {
namespace {

constexpr std::string_view kGroup = "\\Dovek's Zepanu's 1.0";

struct Link {
    std::string_view folder;
    std::string_view name;
};

constexpr std::array<Link, 10> kLinks = {{
    {"..\\..\\Desktop", "Dovek's Zepanu's 1.0 - Zentrale"},
    {kGroup, "Dovek's Zepanu's 1.0 - Zentrale"},
    {kGroup, "Dovek’s Bestellassistent"},
    {kGroup, "Dovek’s Ordnerassistent (IE4)"},
    {kGroup, "Dovek’s Bildbetrachter"},
    {kGroup, "Dovek’s Größenassistent"},
    {kGroup, "Dovek’s Monitorassistent"},
    {kGroup, "Einstellungen für die Taskleiste"},
    {kGroup, "Hilfe"},
    {kGroup, "Unerwartete Fehler"},
}};

} // namespace

void KillPrBarForm::LinkKiller() {
    Status("Verknüpfungen löschen...");
    Advance(1);
    for (const Link& link : kLinks) {
        std::string folder = win::ToAnsi(link.folder);
        std::string name = win::ToAnsi(link.name);
        win::fRemoveShellLink(folder.c_str(), name.c_str());
    }
    std::string programs =
        WinRegistry::ReadValue(WinRegistry::HKCU,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
                               "Folders",
                               "Programs")
            .ToString();
    forms::RmDir(programs + std::string(kGroup));
    Advance(4);
}

} // namespace uninstall
