// shell32: the shell functions the program calls, with Win32 names, argument order and
// return conventions. The portable machine implements them in portable/shell32.cpp; the
// Windows build forwards to the real ones.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <shellapi.h>
#endif

namespace win {

#ifdef _WIN32
using ::SHAppBarMessage;
#else
// ABM_GETTASKBARPOS: fills data->rc with the taskbar's rectangle in pixels and returns
// TRUE; FALSE with data untouched when the machine has no taskbar. Other messages: 0.
UINT_PTR SHAppBarMessage(DWORD message, PAPPBARDATA data);
#endif

} // namespace win
