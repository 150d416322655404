// The display's screen as the program sees it in a run with windows: the screen the
// windows open on (the one under the mouse pointer, else the primary one) answers the
// program's questions about the screen for that run (win::ShowWindowsOn). Qt's platforms
// without a screen of their own (offscreen, minimal: tests, benchmarks) keep the machine's
// stored display.
#pragma once

#include "platform/program_windows.h"

#include <QRect>

class QScreen;

namespace forms::qt {

// The screen of a real display the windows open on; null on offscreen and minimal.
QScreen* DisplayScreen();
// Whether the platform shows windows on a screen of its own.
bool HasRealScreen();
// The program's view of a screen of geometry (Qt's device-independent pixels) whose free
// area is available and whose colour depth is depth: the widest strip panels and docks
// take from one edge is its taskbar, in the screen's own coordinates.
win::HostScreen HostScreenOf(const QRect& geometry, const QRect& available, int depth);

} // namespace forms::qt
