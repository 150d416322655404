#include "install/SysSymboleschreiben.h"

#include "program/error_model.h"
#include "program/install_record.h"
#include "program/program_state.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

#include <array>
#include <string_view>
#include <vector>

namespace install {
namespace {

using WinRegistry::HKCR;
using WinRegistry::HKCU;
using WinRegistry::HKLM;

constexpr std::string_view kMyComputer =
    "CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\DefaultIcon";
constexpr std::string_view kNetwork = "CLSID\\{208D2C60-3AEA-1069-A2D7-08002B30309D}\\DefaultIcon";
constexpr std::string_view kRecycleBin =
    "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon";

struct IconWrite {
    WinRegistry::Root root;
    std::string_view key;
    std::string_view name;
    std::string_view icon; // below the program folder
};

// Each replaced shell slot with a class of its own is followed by the class's icon.
constexpr std::array<IconWrite, 24> kIconWrites = {{
    {HKLM, kShellIconsKey, "15", "Icons\\Visitor1.ico,0"},
    {HKCR, kMyComputer, "", "Icons\\Visitor1.ico,0"},
    {HKLM, kShellIconsKey, "17", "Icons\\Symbols.icl,7"},
    {HKCR, kNetwork, "", "Icons\\Symbols.icl,7"},
    {HKLM, kShellIconsKey, "8", "Icons\\Symbols.icl,13"},
    {HKCR, "Drive\\DefaultIcon", "", "Icons\\Symbols.icl,13"},
    {HKLM, kShellIconsKey, "6", "Icons\\Symbols.icl,12"},
    {HKLM, kShellIconsKey, "3", "Icons\\FldCls7.ico,0"},
    {HKCR, "Folder\\DefaultIcon", "", "Icons\\FldCls7.ico,0"},
    {HKLM, kShellIconsKey, "4", "Icons\\FldOpn4.ico,0"},
    {HKLM, kShellIconsKey, "32", "Icons\\Symbols.icl,11"},
    {HKCR, kRecycleBin, "Full", "Icons\\Symbols.icl,11"},
    {HKLM, kShellIconsKey, "31", "Icons\\Symbols.icl,10"},
    {HKCR, kRecycleBin, "", "Icons\\Symbols.icl,10"},
    {HKCR, kRecycleBin, "Empty", "Icons\\Symbols.icl,10"},
    {HKLM, kShellIconsKey, "29", "Icons\\Arrow1.ico,0"},
    {HKLM, kShellIconsKey, "19", "Icons\\Group.ico,0"},
    {HKLM, kShellIconsKey, "36", "Icons\\Group.ico,0"},
    {HKCR, "vxdfile\\DefaultIcon", "", "Icons\\Sysfile1.ico,0"},
    {HKCR, "dllfile\\DefaultIcon", "", "Icons\\Sysfile1.ico,0"},
    {HKCR, "cplfile\\DefaultIcon", "", "Icons\\Sysfile1.ico,0"},
    {HKCR, "drvfile\\DefaultIcon", "", "Icons\\Sysfile1.ico,0"},
    {HKCR, "sysfile\\DefaultIcon", "", "Icons\\Sysfile1.ico,0"},
    {HKCR, "txtfile\\DefaultIcon", "", "Icons\\Memo1.ico"},
}};

constexpr const char* kExtras = "Software\\Quorvel\\Zepanu\\Extras";

// Every value the step writes, for the installation's record.
std::vector<app::record::Target> Targets() {
    std::vector<app::record::Target> targets = {
        {HKCU, kWindowMetricsKey, "Shell Icon BPP", {app::record::Text("16")}},
        {HKCU, kExtras, "Symbole mit höchster Farbtiefe anzeigen"},
    };
    for (const IconWrite& write : kIconWrites)
        targets.push_back(
            {write.root,
             std::string(write.key),
             std::string(write.name),
             {app::record::Text(Setup_API::AddBackslash(app::ProgDir) + std::string(write.icon))}});
    return targets;
}

} // namespace

void SysSymboleschreiben() {
    forms::OnError run(app::ReportAndContinue);
    const std::vector<app::record::Target> targets = Targets();
    run([] { app::IconsWritten = true; });
    run([&] { app::record::Before(app::record::Step::SysSymboleschreiben, targets); });
    run([] {
        if (WinRegistry::ReadValue(HKCU, kWindowMetricsKey, "Shell Icon BPP").ToString() == "16")
            app::IconDepthWas16 = true;
    });
    run([] { WinRegistry::WriteValue(HKCU, kWindowMetricsKey, "Shell Icon BPP", "16"); });
    run([] {
        WinRegistry::WriteValue(HKCU, kExtras, "Symbole mit höchster Farbtiefe anzeigen",
                                WinRegistry::Value::Integer(1));
    });
    for (const IconWrite& write : kIconWrites) {
        run([&] {
            WinRegistry::WriteValue(write.root, write.key, write.name,
                                    Setup_API::AddBackslash(app::ProgDir) +
                                        std::string(write.icon));
        });
    }
    run([&] { app::record::After(app::record::Step::SysSymboleschreiben, targets); });
}

} // namespace install
