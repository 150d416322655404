// Setup_API: SetTopMost.
#include "system/Setup_API.h"

#include "forms/form.h"
#include "platform/user32.h"

namespace Setup_API {

void SetTopMost(forms::Form& window, std::int16_t on) {
    // Off is HWND_TOP, not HWND_NOTOPMOST: the window comes to the front, and a topmost
    // window stays topmost.
    win::SetWindowPos(window.hWnd(), on != 0 ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE);
}

} // namespace Setup_API
