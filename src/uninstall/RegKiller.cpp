// The registry cleanup: the suite's keys and those of its sibling tools, the uninstall
// entry, the shell verbs and file types, a set of system settings, the time-zone data
// through a registry script, and two entries of SYSTEM.INI. Every failing statement is
// passed over.
//
// Nothing the user had is lost. What the installation replaced is given back from its
// record (program/install_record.h) where it still holds what the installation left; a value
// the user changed since stays. Where there is no record (an installation made before the
// record existed), a value the cleanup would reset or delete is touched only when it is
// the suite's: it points into the program folder being removed, or it equals what the
// installation writes. The suite's own keys and verbs go as they are listed; the
// uninstall entry only when it names the folder being removed; the time zone is written
// only on a machine whose zone is Western Europe.
#include "uninstall/KillPrBar.h"

#include "forms/file_statements.h"
#include "forms/on_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "program/suite_contract.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"
#include "uninstall/program_folder.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace uninstall {
namespace {

using app::record::PointsInto;
using app::record::Record;
using WinRegistry::DeleteKey;
using WinRegistry::DeleteValue;
using WinRegistry::HKCR;
using WinRegistry::HKCU;
using WinRegistry::HKLM;
using WinRegistry::WriteValue;
using MaybeFolder = std::optional<std::string>;

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kMyComputerShell = "CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\shell\\";
constexpr const char* kMetricsKey = "Control Panel\\desktop\\WindowMetrics";
constexpr const char* kTimeZoneKey = "System\\CurrentControlSet\\Control\\TimeZoneInformation";

const std::initializer_list<std::string_view> kTimeZoneScript = {
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

std::optional<WinRegistry::Stored> Stored(WinRegistry::Root root, std::string_view key,
                                          std::string_view name = "") {
    return WinRegistry::ReadStored(root, key, name);
}

WinRegistry::Stored Text(std::string_view utf8) {
    return {REG_SZ, win::ToAnsi(utf8) + '\0'};
}

// The program folder without its trailing backslash, as the installation's paths begin.
std::string WithoutBackslash(const MaybeFolder& p) {
    return p ? p->substr(0, p->size() - 1) : std::string();
}

void GiveBackRecorded(forms::OnError& run, const Record& record, const MaybeFolder& p) {
    run([&] { record.DeleteUntouchedKeys(); });
    for (const app::record::Entry& entry :
         record.Changed([](const auto& target) { return !GivenBackWithTheIcons(target); }))
        run([&] { app::record::GiveBack(entry, p); });
}

void RemoveSuiteKeys(forms::OnError& run) {
    run([] { DeleteKey(HKLM, app::kSuiteMachineKey); });
    run([] { DeleteKey(HKCU, app::kSuiteUserKey); });
    run([] { DeleteKey(HKLM, "SOFTWARE\\Quorvel\\Velkor"); });
    run([] { DeleteKey(HKCU, "Software\\Quorvel\\Velkor"); });
    run([] { DeleteKey(HKLM, "SOFTWARE\\Quorvel\\Trimbo"); });
    run([] { DeleteKey(HKCU, "SOFTWARE\\Quorvel\\Trimbo"); });
    run([] { DeleteValue(HKCU, kRunKey, "Dovek's Zepanu 3.0"); });
}

// The autostart value the installation wrote, without a record: while it holds the
// command line the installation wrote.
void RemoveOwnAutostart(forms::OnError& run, const Record& record, const MaybeFolder& p) {
    if (!p || record.Holds(HKCU, kRunKey, "Dovek's Zepanu 1.0"))
        return;
    run([&] {
        if (Stored(HKCU, kRunKey, "Dovek's Zepanu 1.0") == Text(*p + "Tellmo.exe LoadMe"))
            DeleteValue(HKCU, kRunKey, "Dovek's Zepanu 1.0");
    });
}

void RestoreSystemSettings(forms::OnError& run, const MaybeFolder& p) {
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
    // Paint's icon is the user's unless it points into the program folder.
    run([&] {
        if (PointsInto(Stored(HKCR, "Paint.Picture\\DefaultIcon"), p))
            WriteValue(HKCR, "Paint.Picture\\DefaultIcon", "", paint + ",1");
    });
    run([] { DeleteValue(HKCU, kMetricsKey, "MinAnimate"); });
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

// The machine's active zone is Western Europe: its bias is -60 minutes (REG_DWORD, or the
// four bytes Windows 95 stores) and its standard name is that zone's.
bool IsWesternEurope() {
    std::optional<WinRegistry::Stored> bias = Stored(HKLM, kTimeZoneKey, "Bias");
    if (!bias || bias->bytes != std::string("\xc4\xff\xff\xff", 4))
        return false;
    std::string name = WinRegistry::ReadMachineValue(kTimeZoneKey, "StandardName").ToString();
    std::string own =
        WinRegistry::ReadMachineValue(
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones\\W. Europe", "Std")
            .ToString();
    return (!own.empty() && name == own) || name == "Westeuropäische Normalzeit" ||
           name == "W. Europe Standard Time";
}

void RestoreTimeZone(forms::OnError& run) {
    bool westernEurope = false;
    run([&] { westernEurope = IsWesternEurope(); });
    if (!westernEurope)
        return;
    WinRegistry::RunRegScript(run, kTimeZoneScript);
}

void RemoveFileCacheSettings(forms::OnError& run, const Record& record) {
    if (!record.Holds(HKCU, kMetricsKey, "Shell Icon BPP")) {
        run([] {
            if (Stored(HKCU, kMetricsKey, "Shell Icon BPP") == Text("16"))
                DeleteValue(HKCU, kMetricsKey, "Shell Icon BPP");
        });
    }
    run([] { win::WritePrivateProfileStringA("vcache", "MinFileCache", nullptr, "SYSTEM.INI"); });
    run([] { win::WritePrivateProfileStringA("vcache", "MaxFileCache", nullptr, "SYSTEM.INI"); });
}

void RemoveShellVerbs(forms::OnError& run, const MaybeFolder& p) {
    const std::string my = kMyComputerShell;
    for (const std::string& key :
         {std::string("Directory\\shell\\ZepanuDos"), std::string("Drive\\shell\\ZepanuDos"),
          std::string("Folder\\shell\\ZepanuExplorer"), my + "ZepanuDefragAll",
          std::string("*\\shell\\ZepanuDELIn"), std::string("Drive\\shell\\ZepanuDefrag"),
          my + "ZepanuFormatA", std::string("Drive\\shell\\ZepanuScan"),
          std::string("Directory\\shell\\ZepanuDirIn"), std::string("*\\shell\\ZepanuDirIn"),
          std::string("Directory\\shell\\ZepanuDirIn83"), std::string("*\\shell\\ZepanuDirIn83")})
        run([&] { DeleteKey(HKCR, key); });
    // My Computer's "open" is Windows' own unless its command starts the suite.
    run([&] {
        if (PointsInto(Stored(HKCR, my + "open\\command"), p))
            DeleteKey(HKCR, my + "open");
    });
}

// Without a record: a file type is the suite's when its command or its icon is the one
// the installation writes for this folder; then the values that still hold what the
// installation writes go, and the keys left empty.
bool IsSuitesFileType(const app::FileType& row, const MaybeFolder& p) {
    const std::string cls = std::string(row.extension) + "File";
    const std::string folder = WithoutBackslash(p);
    auto written = [&](const std::string& key, const app::Cell& cell) {
        std::optional<WinRegistry::Stored> now = Stored(HKCR, key);
        return PointsInto(now, p) && now == Text(app::Resolve(cell, folder));
    };
    return written(cls + "\\Shell\\" + std::string(row.type) + "\\Command", row.command) ||
           written(cls + "\\DefaultIcon", row.icon);
}

// The key and those above it, deepest first.
std::vector<std::string> KeysDeepestFirst(const std::vector<Setup_API::FileTypeValue>& values) {
    std::vector<std::string> keys;
    for (const auto& v : values) {
        for (std::string key = v.key;;) {
            keys.push_back(key);
            size_t slash = key.rfind('\\');
            if (slash == std::string::npos)
                break;
            key.resize(slash);
        }
    }
    auto depth = [](const std::string& k) { return std::count(k.begin(), k.end(), '\\'); };
    std::stable_sort(keys.begin(), keys.end(), [&](const std::string& a, const std::string& b) {
        return depth(a) > depth(b);
    });
    return keys;
}

void RemoveUnrecordedFileType(forms::OnError& run, const app::FileType& row, const MaybeFolder& p) {
    bool suites = false;
    run([&] { suites = IsSuitesFileType(row, p); });
    if (!suites)
        return;
    const std::vector<Setup_API::FileTypeValue> values =
        app::FileTypeValues(row, WithoutBackslash(p));
    for (const auto& v : values) {
        run([&] {
            if (Stored(HKCR, v.key, v.name) == v.data)
                DeleteValue(HKCR, v.key, v.name);
        });
    }
    for (const std::string& key : KeysDeepestFirst(values)) {
        run([&] {
            if (WinRegistry::KeyIsEmpty(HKCR, key))
                DeleteKey(HKCR, key);
        });
    }
}

void RemoveFileTypes(forms::OnError& run, const Record& record, const MaybeFolder& p) {
    for (const app::FileType& row : app::kFileTypes) {
        if (!record.Holds(HKCR, "." + std::string(row.extension), ""))
            RemoveUnrecordedFileType(run, row, p);
    }
}

void RemoveFolderAndUnknownVerbs(forms::OnError& run, const Record& record) {
    run([] { DeleteKey(HKCR, "Directory\\shell\\ZepanuTrimbo"); });
    run([] { DeleteKey(HKCR, "Drive\\shell\\ZepanuTrimbo"); });
    if (!record.Holds(HKCR, "Unknown\\Shell", "")) {
        run([] {
            if (Stored(HKCR, "Unknown\\Shell") == Text("open"))
                WriteValue(HKCR, "Unknown\\Shell", "", "openas");
        });
    }
    if (!record.Holds(HKCR, "Unknown\\shell\\open", "")) {
        run([] {
            if (Stored(HKCR, "Unknown\\shell\\open") == Text("Mit &Notepad öffnen - Zepanu"))
                DeleteKey(HKCR, "Unknown\\shell\\open");
        });
    }
    for (const char* verb : {"ZepanuNotePad", "ZepanuWrite", "ZepanuEdit", "ZepanuMyOwen",
                             "ZepanuPaint", "ZepanuPrint"})
        run([&] { DeleteKey(HKCR, std::string("Unknown\\shell\\") + verb); });
}

} // namespace

void KillPrBarForm::RegKiller() {
    forms::OnError run(forms::ResumeNext);
    run([&] { Status("Einträge in der Registry löschen..."); });
    run([&] { Advance(1); });
    Record record;
    run([&] { record = Record::Read(); });
    MaybeFolder p;
    run([&] { p = Folder(); });
    // First what the installation replaced, while the suite's keys still hold their values.
    GiveBackRecorded(run, record, p);
    RemoveSuiteKeys(run);
    RemoveOwnAutostart(run, record, p);
    RestoreSystemSettings(run, p);
    RestoreTimeZone(run);
    RemoveFileCacheSettings(run, record);
    RemoveShellVerbs(run, p);
    RemoveFileTypes(run, record, p);
    RemoveFolderAndUnknownVerbs(run, record);
    run([&] { Advance(51); });
}

} // namespace uninstall
