// The registry cleanup: the suite's keys and those of its sibling tools, the uninstall
// entry, the shell verbs and file types, a set of system settings written back to their
// Windows defaults, the time-zone data through a registry script, and two entries of
// SYSTEM.INI. Every failing statement is passed over.
//
// Two rows are narrowed so that the removal never destroys what the installation did not
// write: a file type is removed only when the installation recorded it (its flag under
// the suite's key, read before that key goes), and the autostart value the installation
// wrote is removed only while it still holds the command line the installation wrote.
#include "uninstall/KillPrBar.h"

#include "forms/file_statements.h"
#include "forms/on_error.h"
#include "platform/kernel32.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"
#include "system/file_streams.h"
#include "uninstall/program_folder.h"

#include <array>
#include <string_view>
#include <vector>

namespace uninstall {
namespace {

using WinRegistry::DeleteKey;
using WinRegistry::DeleteValue;
using WinRegistry::HKCR;
using WinRegistry::HKCU;
using WinRegistry::HKLM;
using WinRegistry::WriteValue;

constexpr const char* kFlagKey = "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kMyComputerShell = "CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\shell\\";

struct FileType {
    std::string_view extension;
    std::string_view flag; // recorded by the installation when it wrote the type
};

constexpr std::array<FileType, 13> kFileTypes = {{
    {"zip", "DateiTypZip"},
    {"cab", "DateiTypCab"},
    {"icl", "DateiTypIcl"},
    {"dll", "DateiTypDll"},
    {"ico", "DateiTypIco"},
    {"bmp", "DateiTypBmp"},
    {"rle", "DateiTypRle"},
    {"wmf", "DateiTypWmf"},
    {"gif", "DateiTypGif"},
    {"jpg", "DateiTypJpg"},
    {"cur", "DateiTypCur"},
    {"diz", "DateiTypDiz"},
    {"log", "DateiTypLog"},
}};

constexpr std::array<std::string_view, 10> kTimeZoneScript = {
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\TimeZoneInformation]",
    "\"StandardStart\"=hex:00,00,09,00,00,00,05,00,03,00,00,00,00,00,00,00",
    "",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones\\W. Europe]",
    "\"Display\"=\"(GMT+01:00) Berlin, Stockholm, Rom, Bern, Brüssel, Wien, Amsterdam\"",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones\\W. Europe]",
    "\"TZI\"=hex:c4,ff,ff,ff,00,00,00,00,c4,ff,ff,ff,00,00,09,00,00,00,05,00,03,00,00,\\",
    "  00,00,00,00,00,00,00,03,00,00,00,05,00,02,00,00,00,00,00,00,00",
};

// The extensions whose file type the installation wrote, by their flags.
std::vector<std::string_view> WrittenFileTypes(forms::OnError& run) {
    std::vector<std::string_view> written;
    for (const FileType& type : kFileTypes) {
        run([&] {
            if (WinRegistry::ReadMachineValue(kFlagKey, type.flag).ToLong() == 1)
                written.push_back(type.extension);
        });
    }
    return written;
}

// The command line the installation's autostart value holds; nothing when the program
// folder is not known.
std::optional<std::string> InstalledAutostart(forms::OnError& run) {
    std::optional<std::string> p;
    run([&] { p = ProgramFolder(); });
    if (!p)
        return std::nullopt;
    return *p + "Tellmo.exe LoadMe";
}

// The installation's autostart value, unless someone changed it since.
void RemoveOwnAutostart(forms::OnError& run, const std::optional<std::string>& installed) {
    if (!installed)
        return;
    run([&] {
        if (WinRegistry::ReadUserValue(kRunKey, "Dovek's Zepanu 1.0") ==
            WinRegistry::Value(*installed))
            DeleteValue(HKCU, kRunKey, "Dovek's Zepanu 1.0");
    });
}

void RemoveSuiteKeys(forms::OnError& run, const std::optional<std::string>& autostart) {
    run([] { DeleteKey(HKLM, "SOFTWARE\\Quorvel\\Zepanu"); });
    run([] { DeleteKey(HKCU, "Software\\Quorvel\\Zepanu"); });
    run([] { DeleteKey(HKLM, "SOFTWARE\\Quorvel\\Velkor"); });
    run([] { DeleteKey(HKCU, "Software\\Quorvel\\Velkor"); });
    run([] { DeleteKey(HKLM, kUninstallKey); });
    run([] { DeleteKey(HKLM, "SOFTWARE\\Quorvel\\Trimbo"); });
    run([] { DeleteKey(HKCU, "SOFTWARE\\Quorvel\\Trimbo"); });
    run([] { DeleteValue(HKCU, kRunKey, "Dovek's Zepanu 3.0"); });
    RemoveOwnAutostart(run, autostart);
}

void RestoreSystemSettings(forms::OnError& run) {
    run([] {
        WriteValue(HKCR, "SoundRec\\shell\\play\\Command", "", "sndrec32.exe /play /close %1");
    });
    run([] {
        DeleteValue(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                    "NoStartBanner");
    });
    std::string paint;
    run([&] {
        paint = WinRegistry::ReadMachineValue(
                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSPAINT.EXE", "")
                    .ToString();
    });
    run([&] { WriteValue(HKCR, "Paint.Picture\\DefaultIcon", "", paint + ",1"); });
    run([] { DeleteValue(HKCU, "Control Panel\\desktop\\WindowMetrics", "MinAnimate"); });
    run([] { DeleteValue(HKCU, "Control Panel\\desktop", "MenuShowDelay"); });
    run([] {
        DeleteValue(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Hearts", "ZB");
    });
    std::string startMenu;
    run([&] {
        startMenu = WinRegistry::ReadUserValue(
                        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        "Start Menu")
                        .ToString();
    });
    run([&] {
        forms::RmDir(startMenu + "\\Systemsteuerung.{21ec2020-3aea-1069-a2dd-08002b30309d}");
    });
    run([] { DeleteKey(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fault"); });
}

void RestoreTimeZone(forms::OnError& run) {
    run([] { WinRegistry::BeginRegScript(); });
    for (std::string_view line : kTimeZoneScript)
        run([&] { FileStreams::PrintLine(WinRegistry::kScriptStream, line); });
    run([] { WinRegistry::ImportRegScript(); });
}

void RemoveFileCacheSettings(forms::OnError& run) {
    run([] { DeleteValue(HKCU, "Control Panel\\desktop\\WindowMetrics", "Shell Icon BPP"); });
    run([] { win::WritePrivateProfileStringA("vcache", "MinFileCache", nullptr, "SYSTEM.INI"); });
    run([] { win::WritePrivateProfileStringA("vcache", "MaxFileCache", nullptr, "SYSTEM.INI"); });
}

void RemoveShellVerbs(forms::OnError& run) {
    const std::string my = kMyComputerShell;
    for (const std::string& key :
         {std::string("Directory\\shell\\ZepanuDos"), std::string("Drive\\shell\\ZepanuDos"),
          std::string("Folder\\shell\\ZepanuExplorer"), my + "ZepanuDefragAll",
          std::string("*\\shell\\ZepanuDELIn"), std::string("Drive\\shell\\ZepanuDefrag"),
          my + "ZepanuFormatA", std::string("Drive\\shell\\ZepanuScan"),
          std::string("Directory\\shell\\ZepanuDirIn"), std::string("*\\shell\\ZepanuDirIn"),
          std::string("Directory\\shell\\ZepanuDirIn83"), std::string("*\\shell\\ZepanuDirIn83"),
          my + "open"})
        run([&] { DeleteKey(HKCR, key); });
}

void RemoveFileTypes(forms::OnError& run, const std::vector<std::string_view>& written) {
    for (std::string_view extension : written)
        run([&] { Setup_API::WriteFileTypeScript(-1, std::string(extension)); });
}

void RemoveFolderAndUnknownVerbs(forms::OnError& run) {
    run([] { DeleteKey(HKCR, "Directory\\shell\\ZepanuTrimbo"); });
    run([] { DeleteKey(HKCR, "Drive\\shell\\ZepanuTrimbo"); });
    run([] { WriteValue(HKCR, "Unknown\\Shell", "", "openas"); });
    for (const char* verb : {"open", "ZepanuNotePad", "ZepanuWrite", "ZepanuEdit", "ZepanuMyOwen",
                             "ZepanuPaint", "ZepanuPrint"})
        run([&] { DeleteKey(HKCR, std::string("Unknown\\shell\\") + verb); });
}

} // namespace

void KillPrBarForm::RegKiller() {
    forms::OnError run(forms::ResumeNext);
    run([&] { Status("Einträge in der Registry löschen..."); });
    run([&] { Advance(1); });
    // Read before the suite's key (the flags) and the uninstall entry (the folder) go.
    std::vector<std::string_view> written = WrittenFileTypes(run);
    std::optional<std::string> autostart = InstalledAutostart(run);
    RemoveSuiteKeys(run, autostart);
    RestoreSystemSettings(run);
    RestoreTimeZone(run);
    RemoveFileCacheSettings(run);
    RemoveShellVerbs(run);
    RemoveFileTypes(run, written);
    RemoveFolderAndUnknownVerbs(run);
    run([&] { Advance(51); });
}

} // namespace uninstall
