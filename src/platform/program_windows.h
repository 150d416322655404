// The running program's own windows on a machine that has no window system to show them
// (the portable machine): a user interface backend registers each form here, so that the
// machine's window searches, SendMessageA, SetWindowPos and drawing see it, and reads back
// what was drawn to show it its own way. A build on Windows has real windows instead.
#pragma once

#include "platform/win_types.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win {

using WindowProcedure = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

struct FontSpec {
    std::string name = "MS Sans Serif";
    double points = 8.25;
    bool bold = false;
    bool italic = false;
};

struct DrawnRectangle {
    HWND window = nullptr; // null: drawn straight onto the screen
    RECT rect{};
    COLORREF fill = 0;
};

// A new window is hidden, at the front, and untitled until given a title; procedure
// handles the messages sent to it.
HWND CreateProgramWindow(std::string_view title, WindowProcedure procedure);
void DestroyProgramWindow(HWND window);
void SetProgramWindowTitle(HWND window, std::string_view title);
void SetProgramWindowVisible(HWND window, bool visible);
void SetProgramWindowRect(HWND window, const RECT& rect);
// Whether SetWindowPos made the window topmost.
bool IsProgramWindowTopmost(HWND window);

// A context for a control's drawing surface (a picture box) with the control's font.
HDC NewControlContext(const FontSpec& font);
void SetContextFont(HDC dc, const FontSpec& font);
bool FreeControlContext(HDC dc);
// Every rectangle drawn so far, in order.
const std::vector<DrawnRectangle>& DrawnRectangles();

// The screen a run with windows on a display shows them on, in the program's pixels (its
// top left corner is 0, 0).
struct HostScreen {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::optional<RECT> taskbar; // what panels and docks take; none: the whole screen free
};
// For the rest of this run, never stored: the machine answers the screen's size and
// colour depth (GetDeviceCaps) and the taskbar (SHAppBarMessage) from screen. Its
// resolution (dots per inch) stays the machine's, so twips keep their size in pixels.
void ShowWindowsOn(const HostScreen& screen);
// The machine's stored display again.
void ForgetHostScreen();

} // namespace win
