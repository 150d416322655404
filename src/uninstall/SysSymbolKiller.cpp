// The system icons: the shell's icon overrides removed and the Windows standard icons
// written back for the desktop objects, folders, drives and a set of file classes, then
// the shell told to redraw its icons. Every failing statement is passed over.
#include "uninstall/KillPrBar.h"

#include "forms/on_error.h"
#include "platform/user32.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

#include <functional>
#include <string_view>

namespace uninstall {
namespace {

using WinRegistry::HKCR;
using WinRegistry::HKCU;

constexpr const char* kMetricsKey = "Control Panel\\desktop\\WindowMetrics";
// Announced with a capital D.
constexpr const char* kMetricsSection = "Control Panel\\Desktop\\WindowMetrics";
constexpr const char* kRecycleBin = "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon";

// Y: the system folder; W: the Windows folder, fetched afresh where a row needs it.
std::string Y() {
    return Setup_API::SysDir;
}
std::string W() {
    return Setup_API::GetWindowsDir();
}
std::string WSlash() {
    return Setup_API::AddBackslash(Setup_API::GetWindowsDir());
}

struct Restore {
    std::string_view key;
    std::string_view name;
    std::string (*folder)();
    std::string_view rest;
};

constexpr Restore kRestores[] = {
    {"CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\DefaultIcon", "", W, "\\Explorer.exe,0"},
    {"CLSID\\{208D2C60-3AEA-1069-A2D7-08002B30309D}\\DefaultIcon", "", Y, "\\shell32.dll,17"},
    {"Drive\\DefaultIcon", "", Y, "\\shell32.dll,8"},
    {kRecycleBin, "", Y, "\\shell32.dll,31"},
    {kRecycleBin, "Empty", Y, "\\shell32.dll,31"},
    {kRecycleBin, "Full", Y, "\\shell32.dll,32"},
    {"Folder\\DefaultIcon", "", Y, "\\shell32.dll,3"},
    {"CLSID\\{21EC2020-3AEA-1069-A2DD-08002B30309D}\\DefaultIcon", "", Y, "\\shell32.dll,35"},
    {"CLSID\\{2227A280-3AEA-1069-A2DE-08002B30309D}\\DefaultIcon", "", Y, "\\shell32.dll,37"},
    {"CLSID\\{992CFFA0-F557-101A-88EC-00DD010CCC48}\\DefaultIcon", "", Y, "\\shell32.dll,33"},
    {"batfile\\DefaultIcon", "", Y, "\\shell32.dll,-153"},
    {"sysfile\\DefaultIcon", "", Y, "\\shell32.dll,-154"},
    {"comfile\\DefaultIcon", "", Y, "\\shell32.dll,2"},
    {"txtfile\\DefaultIcon", "", W, "\\NotePad.exe,1"},
    {"vxdfile\\DefaultIcon", "", Y, "\\shell32.dll,65"},
    {"hlpfile\\DefaultIcon", "", Y, "\\shell32.dll,23"},
    {"wavfile\\DefaultIcon", "", WSlash, "mplayer.exe,2"},
    {"avifile\\DefaultIcon", "", WSlash, "mplayer.exe,2"},
    {"dllfile\\DefaultIcon", "", Y, "\\shell32.dll,65"},
    {"inifile\\DefaultIcon", "", Y, "\\shell32.dll,58"},
    {"inffile\\DefaultIcon", "", Y, "\\shell32.dll,62"},
    {"cplfile\\DefaultIcon", "", Y, "\\shell32.dll,65"},
    {"drvfile\\DefaultIcon", "", Y, "\\shell32.dll,65"},
};

void AnnounceIconMetrics() {
    win::SendMessageA(HWND_BROADCAST, WM_WININICHANGE, SPI_SETICONMETRICS,
                      reinterpret_cast<LPARAM>(kMetricsSection));
}

} // namespace

void KillPrBarForm::SysSymbolKiller() {
    forms::OnError run(forms::ResumeNext);
    run([&] { Status("Symbole wiederherstellen..."); });
    run([&] { Advance(1); });
    run([] {
        WinRegistry::DeleteKey(
            WinRegistry::HKLM,
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons");
    });
    for (const Restore& row : kRestores) {
        run([&] {
            WinRegistry::WriteValue(HKCR, row.key, row.name, row.folder() + std::string(row.rest));
        });
    }
    run([] { WinRegistry::WriteValue(HKCU, kMetricsKey, "Shell Icon Size", "10"); });
    run([] { AnnounceIconMetrics(); });
    run([] { WinRegistry::WriteValue(HKCU, kMetricsKey, "Shell Icon Size", "32"); });
    run([] { AnnounceIconMetrics(); });
    run([&] { Advance(9); });
}

} // namespace uninstall
