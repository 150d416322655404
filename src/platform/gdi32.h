// gdi32: the drawing and device functions the program calls, with Win32 names, argument
// order and return conventions. The portable machine implements them in portable/windows/gdi32.cpp
// (screen facts from the machine's display settings, drawing recorded); the Windows build
// forwards to the real ones.
#pragma once

#include "platform/win_types.h"

namespace win {

#ifdef _WIN32
using ::CreateSolidBrush;
using ::DeleteObject;
using ::GetDeviceCaps;
using ::GetTextExtentPointA;
using ::Rectangle;
using ::SelectObject;
#else
// HORZRES, VERTRES, BITSPIXEL, PLANES, LOGPIXELSX and LOGPIXELSY of the machine's screen;
// 0 for other indices or an unknown context.
int GetDeviceCaps(HDC dc, int index);
// Width and height in pixels of count characters of text in the context's font.
BOOL GetTextExtentPointA(HDC dc, LPCSTR text, int count, LPSIZE size);
HBRUSH CreateSolidBrush(COLORREF colour);
// Selects a brush into a context; returns the one selected before, null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Draws a rectangle outlined in the context's pen and filled with its brush.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL DeleteObject(HGDIOBJ object);
#endif

} // namespace win
