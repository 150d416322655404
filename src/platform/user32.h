// user32: the window, message and restart functions the program calls, with Win32 names,
// argument order and return conventions. The portable machine implements them in
// portable/windows/user32.cpp over its window table; the Windows build forwards to the real ones.
#pragma once

#include "platform/win_types.h"

namespace win {

#ifdef _WIN32
using ::EnumWindows;
using ::ExitWindowsEx;
using ::GetDC;
using ::GetWindowRect;
using ::GetWindowTextA;
using ::IsWindowVisible;
using ::ReleaseDC;
using ::SendMessageA;
using ::SetWindowPos;
#else
// Calls proc for every top-level window until it returns FALSE: the program's own windows
// (most recently created first), then those of the machine's other programs in the order
// they were opened. Windows closed by proc are not visited afterwards.
BOOL EnumWindows(WNDENUMPROC proc, LPARAM param);
// The window's title in the ANSI code page, cut to size - 1 characters; 0 for an unknown
// window (ERROR_INVALID_WINDOW_HANDLE) or an empty title.
int GetWindowTextA(HWND window, LPSTR buffer, int size);
BOOL IsWindowVisible(HWND window);
// The window's rectangle on the screen, in pixels.
BOOL GetWindowRect(HWND window, LPRECT rect);
// Moves, sizes and orders a window. HWND_TOPMOST makes it topmost, HWND_NOTOPMOST ends
// that; HWND_TOP brings it to the front and, as on Windows, leaves a topmost window
// topmost.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
// Sends a message and waits for its handling. HWND_BROADCAST reaches every top-level
// window and is recorded in the machine's journal; WM_CLOSE closes a window of another
// program (recorded too) and asks a window of the program to close as its user would.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A device context for a window, or for the whole screen when window is null.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// Asks for a restart (EWX_REBOOT) or shutdown: the machine records it as pending and
// performs it at `zepmachine boot`. Returns at once, as on Windows.
BOOL ExitWindowsEx(UINT flags, DWORD reason);
#endif

} // namespace win
