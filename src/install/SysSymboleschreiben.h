// The system icons: the shell's own icons (My Computer, Network Neighborhood, drives,
// folders, Recycle Bin, shortcut overlay, program groups, system and text files) replaced
// by icons in the program folder's Icons subfolder, and the shell's icon colour depth
// raised to 16 bits. Report and continue: each of the writes is attempted.
#pragma once

namespace install {

inline constexpr const char* kShellIconsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
inline constexpr const char* kWindowMetricsKey = "Control Panel\\desktop\\WindowMetrics";

void SysSymboleschreiben();

} // namespace install
