// The machine's display: screen size in pixels, colour depth, resolution and the
// taskbar's rectangle, kept as machine settings (`zepmachine display`). A fresh machine
// has a 1024 x 768 screen with 16 bits per pixel at 96 dots per inch and the taskbar
// along the bottom edge.
#pragma once

#include "platform/win_types.h"

#include <optional>
#include <string>
#include <string_view>

namespace portable {

class Machine;

struct Display {
    int width = 1024;
    int height = 768;
    int bitsPerPixel = 16;
    int planes = 1;
    int dpi = 96;
    std::optional<RECT> taskbar; // none: the machine shows no taskbar
};

// The stored display, or the screen this run shows its windows on (SetRunScreen).
Display ReadDisplay(Machine& machine);
void WriteDisplay(Machine& machine, const Display& display);
// For as long as machine lives, its display is this width, height (pixels), colour depth
// (one plane) and taskbar (none: none); the resolution stays the stored one. Not stored.
void SetRunScreen(Machine& machine, int width, int height, int bitsPerPixel,
                  const std::optional<RECT>& taskbar);
void ForgetRunScreen(Machine& machine);
// Stores the taskbar as an edge ("bottom", "top", "left", "right": its rectangle then
// follows the screen size), as "L,T,R,B" pixels, or as "none".
void WriteTaskbar(Machine& machine, std::string_view taskbar);

// The rectangle Windows 95 gives a taskbar docked along edge ("bottom", "top", "left",
// "right") of a width x height screen: 2 pixels beyond the screen on three sides, 30
// pixels thick along the top or bottom, 66 along the left or right.
std::optional<RECT> TaskbarAlong(std::string_view edge, int width, int height);

// "L,T,R,B" to a rectangle; nullopt for anything else.
std::optional<RECT> ParseRect(std::string_view text);
std::string RectText(const RECT& rect);

} // namespace portable
