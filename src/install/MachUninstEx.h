// The uninstall entry: the suite in the platform's list of removable programs, pointing
// at the installed copy of the setup program with the argument "UnInst". Report and
// continue.
#pragma once

namespace install {

inline constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zepanu03DE";

void MachUninstEx();

} // namespace install
