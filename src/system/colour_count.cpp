// Setup_API: GetColourCount.
#include "system/Setup_API.h"

#include "platform/gdi32.h"
#include "platform/user32.h"

namespace Setup_API {

std::optional<std::int32_t> GetColourCount() {
    HDC screen = win::GetDC(nullptr);
    int bits = win::GetDeviceCaps(screen, BITSPIXEL);
    int planes = win::GetDeviceCaps(screen, PLANES);
    win::ReleaseDC(nullptr, screen);
    if (bits == 8)
        return 256;
    if (bits == 1)
        return planes == 1 ? std::optional<std::int32_t>(16) : std::nullopt;
    return 65000;
}

} // namespace Setup_API
