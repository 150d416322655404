#include "app/start_up.h"

#include "app/Lizenz.h"
#include "forms/app_object.h"
#include "forms/msgbox.h"
#include "platform/kernel32.h"
#include "program/program_state.h"
#include "system/Setup_API.h"
#include "uninstall/UnInstall.h"

#include <cstdio>

namespace app {
namespace {

constexpr const char* kInstallationMutex = "Zepsetup Installation";
constexpr const char* kAnotherInstallation =
    "Es wird bereits eine andere Installation ausgeführt! Bitte warten Sie, bis sie beendet "
    "ist, und starten Sie Setup dann noch einmal.";

} // namespace

// The handle stays open until the process ends, which lets go of the mutex however it
// ends; a second run of Main in the same process keeps it.
InstallationLock TakeInstallationLock() {
    static HANDLE held = nullptr;
    if (held)
        return InstallationLock::Taken;
    HANDLE mutex = win::CreateMutexA(nullptr, TRUE, kInstallationMutex);
    if (!mutex)
        return InstallationLock::Failed;
    if (win::GetLastError() == ERROR_ALREADY_EXISTS) {
        win::CloseHandle(mutex);
        return InstallationLock::HeldElsewhere;
    }
    held = mutex;
    return InstallationLock::Taken;
}

void Main() {
    Setup_API::GetSystemDir();
    switch (TakeInstallationLock()) {
    case InstallationLock::Taken:
        break;
    case InstallationLock::HeldElsewhere:
        std::fprintf(stderr, "zepsetup: another installation is in progress; nothing was "
                             "changed\n");
        RunOutcome = Outcome::AnotherInstallation;
        forms::MsgBox(kAnotherInstallation, forms::vbInformation);
        return;
    case InstallationLock::Failed:
        std::fprintf(stderr,
                     "zepsetup: cannot tell whether another installation is in "
                     "progress (error %lu); nothing was changed\n",
                     static_cast<unsigned long>(win::GetLastError()));
        RunOutcome = Outcome::CouldNotRun;
        return;
    }
    // Exactly this text, in this case, and nothing around it.
    if (forms::App::Command() == "UnInst") {
        uninstall::UnInstall->Show();
        return;
    }
    Lizenz->Show();
}

} // namespace app
