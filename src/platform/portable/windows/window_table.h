// The machine's top-level windows. The running program's own windows are kept in this
// process, each with a procedure that handles the messages sent to it; the windows of the
// machine's other programs are kept in the machine's store (`zepmachine windows add`),
// so that a search by title and WM_CLOSE have something real to act on.
#pragma once

#include "platform/program_windows.h"
#include "platform/win_types.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

class Machine;

using win::WindowProcedure;

struct WindowRecord {
    HWND handle = nullptr;
    std::string title; // UTF-8
    bool visible = true;
    RECT rect{}; // pixels on the screen
    bool topmost = false;
    bool ownWindow = false; // a window of the running program
};

// ---- The running program's windows. A new window is hidden, at the front, untitled
// until given a title.
HWND CreateProgramWindow(std::string_view title, WindowProcedure procedure);
void DestroyProgramWindow(HWND window);
void SetProgramWindowTitle(HWND window, std::string_view title);
void SetProgramWindowVisible(HWND window, bool visible);
void SetProgramWindowRect(HWND window, const RECT& rect);
// Orders a window as SetWindowPos does: HWND_TOPMOST, HWND_NOTOPMOST, HWND_TOP.
void OrderProgramWindow(HWND window, HWND insertAfter);
// Calls the window's procedure; nullopt when window is no window of the program.
std::optional<LRESULT> CallProgramWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Windows of the machine's other programs, in the order they were opened.
HWND OpenOtherWindow(Machine& machine, std::string_view title, bool visible);
std::vector<WindowRecord> OtherWindows(Machine& machine);
// False when window is no open window of another program.
bool CloseOtherWindow(Machine& machine, HWND window);

// ---- Both kinds.
// Every top-level window in enumeration (z-)order: the program's topmost windows, its
// other windows front to back, then the other programs' windows.
std::vector<HWND> TopLevelWindows();
std::optional<WindowRecord> LookUpWindow(HWND window);

} // namespace portable
