#include "install/TaskBarEx.h"

#include "app/program_state.h"
#include "system/WinRegistry.h"

#include <cstdint>
#include <string_view>

namespace install {
namespace {

void Symbol(std::string_view name, std::int16_t on) {
    WinRegistry::WriteValue(WinRegistry::HKCU, kSymbolKey, name, WinRegistry::Value::Integer(on));
}

} // namespace

void TaskBarEx() {
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
}

} // namespace install
