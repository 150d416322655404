// shell32: the shell functions the program calls, with Win32 names, argument order and
// return conventions. The portable machine implements them in portable/shell/shell32.cpp; the
// Windows build forwards to the real ones.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <shellapi.h>
#endif

namespace win {

#ifdef _WIN32
using ::SHAppBarMessage;
using ::SHFileOperationA;
#else
// ABM_GETTASKBARPOS: fills data->rc with the taskbar's rectangle in pixels and returns
// TRUE; FALSE with data untouched when the machine has no taskbar. Other messages: 0.
UINT_PTR SHAppBarMessage(DWORD message, PAPPBARDATA data);

// FO_DELETE of every path of op->pFrom (a file or folder; the last component may hold * and
// ?, which match files and folders, with FOF_FILESONLY files only). With FOF_ALLOWUNDO each
// item is moved whole into the recycle bin of its drive, otherwise deleted (folders with
// everything in them, read-only entries included). Every path must exist before anything
// is done; an item inside one named earlier goes with it. Returns 0 when every item went,
// otherwise the Win32 error of the first failure, with the items before it done (in the bin
// they can be restored); fAnyOperationsAborted is TRUE then. No dialog is ever shown: the
// operation proceeds as if each confirmation were answered yes. FO_MOVE, FO_COPY and
// FO_RENAME are not provided (ERROR_CALL_NOT_IMPLEMENTED); pTo, hwnd and the progress
// title are not used.
int SHFileOperationA(LPSHFILEOPSTRUCTA op);
#endif

} // namespace win
