// Start-up: the first code of the program.
#pragma once

namespace app {

// One installation or removal at a time on a machine, as the widespread installer services
// keep it: a run holds a named mutex until its process ends, however it ends.
enum class InstallationLock {
    Taken,         // this process holds it (from now, or since an earlier run of Main)
    HeldElsewhere, // another installation or removal is in progress
    Failed,        // the platform could not tell (GetLastError says why)
};
InstallationLock TakeInstallationLock();

// Sets SysDir and takes the installation lock; then shows the removal confirmation when
// the argument text is exactly "UnInst", else the agreement page, non-modally, and
// returns. While another run holds the lock it says so in a message (outcome
// AnotherInstallation) and shows no window.
void Main();

} // namespace app
