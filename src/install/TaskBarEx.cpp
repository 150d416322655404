#include "install/TaskBarEx.h"

#include "program/install_record.h"
#include "program/program_state.h"
#include "system/WinRegistry.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace install {
namespace {

void Symbol(std::string_view name, std::int16_t on) {
    WinRegistry::WriteValue(WinRegistry::HKCU, kSymbolKey, name, WinRegistry::Value::Integer(on));
}

} // namespace

void TaskBarEx() {
    // The symbols lie below the suite's own key; the start-up entry is in the shared one.
    const std::vector<app::record::Target> targets = {
        {WinRegistry::HKCU, kSymbolKey, "TaskBar Aktiv"},
        {WinRegistry::HKCU,
         kRunKey,
         kRunValue,
         {app::record::Text(app::ProgDir + "\\Tellmo.exe LoadMe")}},
    };
    app::record::Before(app::record::Step::TaskBarEx, targets);
    Symbol("TaskBar Aktiv", 1);
    WinRegistry::WriteValue(WinRegistry::HKCU, kRunKey, kRunValue,
                            app::ProgDir + "\\Tellmo.exe LoadMe");
    Symbol("Dovek's Zepanu 1.0 Hauptfenster", 1);
    Symbol("Windows-Explorer", 1);
    Symbol("MS-DOS Ebene", 1);
    Symbol("Netscape Navigator", 1);
    Symbol("Windows beenden", 1);
    Symbol("Abmelden", 0);
    Symbol("Windows neu starten", 1);
    Symbol("Window-Killer", 1);
    app::record::After(app::record::Step::TaskBarEx, targets);
}

} // namespace install
