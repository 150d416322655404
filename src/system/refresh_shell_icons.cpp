// Setup_API: RefreshShellIcons.
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

void RefreshShellIcons() {
    forms::OnError run(forms::ResumeNext);
    run([] { WinRegistry::WriteValue(WinRegistry::HKCU, kMetricsKey, kIconSize, "10"); });
    run([] { AnnounceIconMetrics(); });
    run([] { WinRegistry::WriteValue(WinRegistry::HKCU, kMetricsKey, kIconSize, "32"); });
    run([] { AnnounceIconMetrics(); });
    run([] {
        wininit::AddRenameLines(
            {"NUL=" + GetWindowsDir() + "\\SHELLI~1", std::string("NUL=") + kSetupCopy});
    });
}

} // namespace Setup_API
