// Device contexts and brushes of the portable machine, kept in this process, and what has
// been drawn with them. Nothing reaches a real screen: rectangles are recorded so that
// tests and backends see the drawing, and text is measured with a fixed font metric.
#pragma once

#include "platform/program_windows.h"
#include "platform/win_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

using win::FontSpec;

struct DeviceContext {
    HWND window = nullptr; // null for the whole screen or a control's surface
    FontSpec font;
    HGDIOBJ brush = nullptr; // null: the default white brush
};

// A context for window (null: the whole screen), as GetDC hands out.
HDC NewDeviceContext(HWND window);
// A context for a control's drawing surface (a picture box) with the control's font.
HDC NewControlContext(const FontSpec& font);
void SetContextFont(HDC dc, const FontSpec& font);
DeviceContext* LookUpContext(HDC dc);
bool FreeDeviceContext(HDC dc);

HBRUSH NewBrush(COLORREF colour);
std::optional<COLORREF> BrushColour(HGDIOBJ object);
bool FreeBrush(HGDIOBJ object);
// The white brush a new context starts with.
HGDIOBJ StockWhiteBrush();

// Pixel size of ANSI text in font: every character 0.55 em wide (0.6 em bold), a line
// 1.2 em high, at 96 dots per inch.
SIZE TextExtent(const FontSpec& font, std::string_view text);

using win::DrawnRectangle;
void RecordRectangle(const DrawnRectangle& rectangle);
const std::vector<DrawnRectangle>& DrawnRectangles();
void ForgetDrawing();

} // namespace portable
