// shell32 on the portable machine: the taskbar from the machine's display settings.
#include "platform/shell32.h"

#include "platform/portable/api_guard.h"
#include "platform/portable/machine.h"
#include "platform/portable/windows/display.h"

namespace win {

UINT_PTR SHAppBarMessage(DWORD message, PAPPBARDATA data) {
    return portable::Guarded<UINT_PTR>(0, [&]() -> UINT_PTR {
        if (message != ABM_GETTASKBARPOS || !data)
            return 0;
        portable::Display display = portable::ReadDisplay(portable::CurrentMachine());
        if (!display.taskbar)
            return FALSE;
        data->rc = *display.taskbar;
        return TRUE;
    });
}

} // namespace win
