// The system icons: what the installation replaced given back from its record, the
// shell's icon overrides and the Windows standard icons for the desktop objects, folders,
// drives and a set of file classes where they still point into the program folder (an
// installation without a record), then the shell told to redraw its icons at the size it
// has; last the keys the installation created, where empty, and the record itself. A value
// the user set is never overwritten with a default. Every failing statement is passed
// over.
#include "uninstall/KillPrBar.h"

#include "forms/on_error.h"
#include "platform/codepage.h"
#include "platform/text_lines.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"
#include "uninstall/program_folder.h"

#include <string_view>

namespace uninstall {
namespace {

using WinRegistry::HKCR;
using WinRegistry::HKCU;

using app::record::PointsInto;
using app::record::Record;

constexpr const char* kMetricsKey = "Control Panel\\desktop\\WindowMetrics";
constexpr const char* kShellIcons =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
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

using MaybeFolder = std::optional<std::string>;

// Without a record: the overrides that point into the program folder, and the key when
// nothing else is left in it.
void RemoveShellIconOverrides(forms::OnError& run, const Record& record, const MaybeFolder& p) {
    std::vector<std::string> names;
    run([&] { names = WinRegistry::ValueNames(WinRegistry::HKLM, kShellIcons); });
    bool removed = false;
    for (const std::string& name : names) {
        if (record.Holds(WinRegistry::HKLM, kShellIcons, name))
            continue;
        run([&] {
            if (PointsInto(WinRegistry::ReadStored(WinRegistry::HKLM, kShellIcons, name), p)) {
                WinRegistry::DeleteValue(WinRegistry::HKLM, kShellIcons, name);
                removed = true;
            }
        });
    }
    if (removed) {
        run([] {
            if (WinRegistry::KeyIsEmpty(WinRegistry::HKLM, kShellIcons))
                WinRegistry::DeleteKey(WinRegistry::HKLM, kShellIcons);
        });
    }
}

// Without a record: the Windows standard icon where the icon points into the program
// folder.
void RestoreStandardIcons(forms::OnError& run, const Record& record, const MaybeFolder& p) {
    for (const Restore& row : kRestores) {
        if (record.Holds(HKCR, row.key, row.name))
            continue;
        run([&] {
            if (PointsInto(WinRegistry::ReadStored(HKCR, row.key, row.name), p))
                WinRegistry::WriteValue(HKCR, row.key, row.name,
                                        row.folder() + std::string(row.rest));
        });
    }
}

} // namespace

bool GivenBackWithTheIcons(const app::record::Target& target) {
    return (target.root == WinRegistry::HKLM && win::AnsiEqualsNoCase(target.key, kShellIcons)) ||
           win::EndsWithNoCase(target.key, "\\DefaultIcon") ||
           (target.root == HKCU && win::AnsiEqualsNoCase(target.key, kMetricsKey) &&
            win::AnsiEqualsNoCase(target.name, "Shell Icon Size"));
}

void KillPrBarForm::SysSymbolKiller() {
    forms::OnError run(forms::ResumeNext);
    run([&] { Status("Symbole wiederherstellen..."); });
    run([&] { Advance(1); });
    Record record;
    run([&] { record = Record::Read(); });
    MaybeFolder p;
    run([&] { p = Folder(); });
    for (const app::record::Entry& entry : record.Changed(GivenBackWithTheIcons))
        run([&] { app::record::GiveBack(entry, p); });
    RemoveShellIconOverrides(run, record, p);
    RestoreStandardIcons(run, record, p);
    run([] { Setup_API::ReloadShellIcons(); });
    // The record goes last, once everything it holds has been given back.
    run([&] { record.Finish(); });
    // The entry that starts the removal goes after everything else, so that a removal cut
    // off before it finished can be started from the list of programs again.
    run([&] { ForgetUninstallEntry(p); });
    run([&] { Advance(9); });
}

} // namespace uninstall
