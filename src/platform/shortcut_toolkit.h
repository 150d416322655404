// The shortcut toolkit: program groups and shortcuts in the user's Start menu, with the
// names, argument order and results of the small library the setup program was written
// against. Strings are ANSI (Windows-1252). The portable machine implements it in
// portable/shell/shortcut_toolkit.cpp, writing real .lnk files; the Windows build implements
// the same three functions on IShellLinkA.
//
// folder is relative to the Start menu's Programs folder (value "Programs" of the key
// HKEY_CURRENT_USER Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders):
// a leading '\' is ignored ("\Group" is Programs\Group), "..\..\Desktop" climbs from
// there, and an empty or null folder is Programs itself. Each returns 1 on success and 0
// on failure.
#pragma once

#include "platform/win_types.h"

namespace win {

// Creates the folder and any missing folder above it; an existing folder is success.
LONG fCreateShellFolder(LPCSTR folder);
// Writes folder\linkName.lnk (folder created when missing, an existing link replaced
// whole): target with arguments (null or empty: none), working folder = the target's
// folder, icon = the target's first, shown normally. linkName is one name, without '\'.
LONG fCreateShellLink(LPCSTR folder, LPCSTR linkName, LPCSTR target, LPCSTR arguments);
// Deletes folder\linkName.lnk; 0 when there is none.
LONG fRemoveShellLink(LPCSTR folder, LPCSTR linkName);

} // namespace win
