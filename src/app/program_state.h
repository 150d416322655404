// The program-wide state the windows share besides their own controls, the installed
// files and the registry. SysDir lives with the file services that set it
// (Setup_API::SysDir).
#pragma once

#include <cstdint>
#include <string>

namespace app {

// The title of every message box of the program.
inline constexpr const char* kAppTitle = "Konfiguration für Dovek’s Zepanu’s 1.0";

// The program folder in its 8.3 form without a trailing backslash; set once by the
// target folder page, empty in the removal run.
extern std::string ProgDir;
// Set by the system icon writer; read by the options page.
extern bool IconsWritten;
extern bool IconDepthWas16;
// The welcome animation's counter; only grows.
extern std::int16_t AnimStep;

} // namespace app
