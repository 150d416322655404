// user32 on the portable machine: windows from the machine's window table, device
// contexts from gdi_objects, restarts recorded for `zepmachine boot`.
// Left out: child windows, message queues (SendMessageA calls the procedure directly),
// moving other programs' windows.
#include "platform/user32.h"

#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/machine.h"
#include "platform/portable/restart.h"
#include "platform/portable/windows/display.h"
#include "platform/portable/windows/gdi_objects.h"
#include "platform/portable/windows/window_table.h"

#include <cstdio>
#include <cstring>

namespace win {
namespace {

BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

std::string MessageName(UINT message) {
    if (message == WM_WININICHANGE)
        return "WM_WININICHANGE";
    if (message == WM_CLOSE)
        return "WM_CLOSE";
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", message);
    return text;
}

// The journal line of a broadcast; WM_WININICHANGE carries the name of what changed.
std::string BroadcastEntry(UINT message, WPARAM wParam, LPARAM lParam) {
    std::string entry = "broadcast " + MessageName(message) + " " + std::to_string(wParam);
    if (message == WM_WININICHANGE && lParam)
        entry += " \"" + FromAnsi(reinterpret_cast<const char*>(lParam)) + "\"";
    else
        entry += " " + std::to_string(lParam);
    return entry;
}

// The windows of this machine, or none when the machine cannot say (GetLastError tells).
std::vector<HWND> WindowsGuarded() {
    return portable::Guarded<std::vector<HWND>>({}, [] { return portable::TopLevelWindows(); });
}

bool ExistsGuarded(HWND window) {
    return portable::Guarded(false, [&] { return portable::LookUpWindow(window).has_value(); });
}

// Only the machine's part is guarded: what a program's window procedure throws is the
// program's own business.
LRESULT Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    bool recorded = portable::Guarded(false, [&] {
        portable::CurrentMachine().Journal(BroadcastEntry(message, wParam, lParam));
        return true;
    });
    if (!recorded)
        return 0;
    for (HWND window : WindowsGuarded())
        portable::CallProgramWindow(window, message, wParam, lParam);
    return 0;
}

} // namespace

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
    if (!proc)
        return Fail(ERROR_INVALID_PARAMETER);
    SetLastError(ERROR_SUCCESS);
    std::vector<HWND> windows = WindowsGuarded();
    if (GetLastError() != ERROR_SUCCESS)
        return FALSE;
    for (HWND window : windows) {
        if (!ExistsGuarded(window))
            continue; // closed by an earlier call of proc
        if (!proc(window, param))
            break;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
    return portable::Guarded<int>(0, [&]() -> int {
        auto record = portable::LookUpWindow(window);
        if (!record) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (!buffer || size <= 0)
            return 0;
        std::string title = ToAnsi(record->title);
        size_t n = std::min(title.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, title.data(), n);
        buffer[n] = '\0';
        return static_cast<int>(n);
    });
}

BOOL IsWindowVisible(HWND window) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        auto record = portable::LookUpWindow(window);
        return record && record->visible ? TRUE : FALSE;
    });
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        auto record = portable::LookUpWindow(window);
        if (!record)
            return Fail(ERROR_INVALID_WINDOW_HANDLE);
        if (!rect)
            return Fail(ERROR_INVALID_PARAMETER);
        *rect = record->rect;
        return TRUE;
    });
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        auto record = portable::LookUpWindow(window);
        if (!record)
            return Fail(ERROR_INVALID_WINDOW_HANDLE);
        if (!record->ownWindow)
            return TRUE; // other programs' windows keep their place
        RECT rect = record->rect;
        if (!(flags & SWP_NOMOVE)) {
            rect.right += x - rect.left;
            rect.bottom += y - rect.top;
            rect.left = x;
            rect.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            rect.right = rect.left + cx;
            rect.bottom = rect.top + cy;
        }
        portable::SetProgramWindowRect(window, rect);
        if (!(flags & SWP_NOZORDER))
            portable::OrderProgramWindow(window, insertAfter);
        return TRUE;
    });
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == HWND_BROADCAST)
        return Broadcast(message, wParam, lParam);
    if (auto result = portable::CallProgramWindow(window, message, wParam, lParam))
        return *result;
    return portable::Guarded<LRESULT>(0, [&]() -> LRESULT {
        if (!portable::LookUpWindow(window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (message == WM_CLOSE)
            portable::CloseOtherWindow(portable::CurrentMachine(), window);
        return 0;
    });
}

HDC GetDC(HWND window) {
    return portable::Guarded<HDC>(nullptr, [&]() -> HDC {
        if (window && !portable::LookUpWindow(window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        return portable::NewDeviceContext(window);
    });
}

int ReleaseDC(HWND, HDC dc) {
    return portable::Guarded<int>(0,
                                  [&]() -> int { return portable::FreeDeviceContext(dc) ? 1 : 0; });
}

BOOL ExitWindowsEx(UINT flags, DWORD) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        portable::MarkRestartPending(portable::CurrentMachine(), flags);
        return TRUE;
    });
}

} // namespace win
