// Setup_API: RefreshShellIcons and ReloadShellIcons.
#include "system/Setup_API.h"

#include "forms/on_error.h"
#include "platform/user32.h"
#include "system/WinRegistry.h"
#include "system/wininit_rename.h"

namespace Setup_API {
namespace {

constexpr const char* kMetricsKey = "Control Panel\\desktop\\WindowMetrics";
// The name announced in the broadcast is spelt with a capital D.
constexpr const char* kMetricsSection = "Control Panel\\Desktop\\WindowMetrics";
constexpr const char* kIconSize = "Shell Icon Size";
constexpr const char* kSetupCopy = "C:\\~SETUP.T\\zepsetup.exe";

void AnnounceIconMetrics() {
    win::SendMessageA(HWND_BROADCAST, WM_WININICHANGE, SPI_SETICONMETRICS,
                      reinterpret_cast<LPARAM>(kMetricsSection));
}

} // namespace

void ReloadShellIcons() {
    using WinRegistry::HKCU;
    forms::OnError run(forms::ResumeNext);
    std::optional<WinRegistry::Stored> found;
    run([&] { found = WinRegistry::ReadStored(HKCU, kMetricsKey, kIconSize); });
    // Another size than the one found, then that one again (an absent value stays absent:
    // the shell's own size, as it is the user's setting, large icons included).
    const bool found10 = found && found->type == REG_SZ && found->bytes == std::string("10", 3);
    run([&] { WinRegistry::WriteValue(HKCU, kMetricsKey, kIconSize, found10 ? "32" : "10"); });
    run([] { AnnounceIconMetrics(); });
    run([&] {
        if (found)
            WinRegistry::WriteStored(HKCU, kMetricsKey, kIconSize, *found);
        else
            WinRegistry::DeleteValue(HKCU, kMetricsKey, kIconSize);
    });
    run([] { AnnounceIconMetrics(); });
}

void RefreshShellIcons() {
    ReloadShellIcons();
    forms::OnError run(forms::ResumeNext);
    run([] {
        wininit::AddRenameLines(
            {"NUL=" + GetWindowsDir() + "\\SHELLI~1", std::string("NUL=") + kSetupCopy});
    });
}

} // namespace Setup_API
