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

// The size found, kept beside it while another size is in its place, so that a run cut
// off in between gives back the user's size rather than the passing one: REG_BINARY, the
// type (4 bytes little-endian) and the bytes of the size, nothing when there was none.
constexpr const char* kKeptSize = "Zepsetup Icon Size Found";

WinRegistry::Stored Keep(const std::optional<WinRegistry::Stored>& size) {
    std::string bytes;
    if (size) {
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>((size->type >> (8 * i)) & 0xff);
        bytes += size->bytes;
    }
    return {REG_BINARY, bytes};
}

// The size kept by a run cut off (the outer optional empty when there is none).
std::optional<std::optional<WinRegistry::Stored>> Kept() {
    std::optional<WinRegistry::Stored> kept =
        WinRegistry::ReadStored(WinRegistry::HKCU, kMetricsKey, kKeptSize);
    if (!kept || kept->type != REG_BINARY || (!kept->bytes.empty() && kept->bytes.size() < 4))
        return std::nullopt;
    if (kept->bytes.empty())
        return std::optional<WinRegistry::Stored>();
    std::uint32_t type = 0;
    for (int i = 3; i >= 0; --i)
        type = type << 8 | static_cast<unsigned char>(kept->bytes[static_cast<size_t>(i)]);
    return std::optional<WinRegistry::Stored>(WinRegistry::Stored{type, kept->bytes.substr(4)});
}

} // namespace

void ReloadShellIcons() {
    using WinRegistry::HKCU;
    forms::OnError run(forms::ResumeNext);
    std::optional<WinRegistry::Stored> found;
    bool kept = false;
    run([&] {
        if (auto earlier = Kept()) {
            found = *earlier;
            kept = true;
        } else {
            found = WinRegistry::ReadStored(HKCU, kMetricsKey, kIconSize);
        }
    });
    // Without the size kept, the passing size could become the user's: no switch then.
    run([&] {
        if (!kept)
            kept = WinRegistry::WriteStored(HKCU, kMetricsKey, kKeptSize, Keep(found));
    });
    if (!kept)
        return;
    // Another size than the one found, then that one again (an absent value stays absent:
    // the shell's own size, as it is the user's setting, large icons included).
    const bool found10 = found && found->type == REG_SZ && found->bytes == std::string("10", 3);
    run([&] { WinRegistry::WriteValue(HKCU, kMetricsKey, kIconSize, found10 ? "32" : "10"); });
    run([] { AnnounceIconMetrics(); });
    bool back = false;
    run([&] {
        back = found ? WinRegistry::WriteStored(HKCU, kMetricsKey, kIconSize, *found)
                     : WinRegistry::DeleteStored(HKCU, kMetricsKey, kIconSize);
    });
    if (back)
        run([] { WinRegistry::DeleteValue(HKCU, kMetricsKey, kKeptSize); });
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
