// The program group and shortcuts: one shortcut on the desktop, then the Start-menu group
// with nine shortcuts to the installed programs, help and errata. Report and continue; the
// shortcut toolkit's results are not examined.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace install {

// The group's name, and the folder arguments of the shortcut toolkit (relative to the
// Start menu's Programs folder) for shortcuts in the group and on the desktop.
inline constexpr std::string_view kGroupName = "Dovek's Zepanu's 1.0";
inline constexpr std::string_view kGroupFolder = "\\Dovek's Zepanu's 1.0";
inline constexpr std::string_view kDesktopFolder = "..\\..\\Desktop";

struct Shortcut {
    std::string_view folder;
    std::string_view title;
    std::string_view target; // below the program folder
};

// The group's nine shortcuts, in the order they are made.
inline constexpr std::array<Shortcut, 9> kGroupShortcuts = {{
    {kGroupFolder, "Dovek's Zepanu's 1.0 - Zentrale", "Zepanu.exe"},
    {kGroupFolder, "Dovek’s Bestellassistent", "Serkel.exe"},
    {kGroupFolder, "Dovek’s Ordnerassistent (IE4)", "Falmir.exe"},
    {kGroupFolder, "Dovek’s Monitorassistent", "Kanthor.exe"},
    {kGroupFolder, "Dovek’s Bildbetrachter", "Vistrel.exe"},
    {kGroupFolder, "Dovek’s Größenassistent", "Brundel.exe"},
    {kGroupFolder, "Einstellungen für die Taskleiste", "Tellmo.exe"},
    {kGroupFolder, "Hilfe", "Doc\\Start.htm"},
    {kGroupFolder, "Unerwartete Fehler", "Errata.txt"},
}};
inline constexpr Shortcut kDesktopShortcut = {kDesktopFolder, "Dovek's Zepanu's 1.0 - Zentrale",
                                              "Zepanu.exe"};

// Makes the desktop shortcut, the group and its shortcuts; the result is not used.
std::int32_t MachShellIcons();

} // namespace install
