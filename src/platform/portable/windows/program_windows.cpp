// The platform's program windows over the machine's window table and device contexts.
#include "platform/program_windows.h"

#include "platform/portable/api_guard.h"
#include "platform/portable/machine.h"
#include "platform/portable/windows/display.h"
#include "platform/portable/windows/gdi_objects.h"
#include "platform/portable/windows/window_table.h"

namespace win {

HWND CreateProgramWindow(std::string_view title, WindowProcedure procedure) {
    return portable::CreateProgramWindow(title, std::move(procedure));
}

void DestroyProgramWindow(HWND window) {
    portable::DestroyProgramWindow(window);
}

void SetProgramWindowTitle(HWND window, std::string_view title) {
    portable::SetProgramWindowTitle(window, title);
}

void SetProgramWindowVisible(HWND window, bool visible) {
    portable::SetProgramWindowVisible(window, visible);
}

void SetProgramWindowRect(HWND window, const RECT& rect) {
    portable::SetProgramWindowRect(window, rect);
}

bool IsProgramWindowTopmost(HWND window) {
    auto record = portable::LookUpWindow(window);
    return record && record->topmost;
}

HDC NewControlContext(const FontSpec& font) {
    return portable::NewControlContext(font);
}

void SetContextFont(HDC dc, const FontSpec& font) {
    portable::SetContextFont(dc, font);
}

bool FreeControlContext(HDC dc) {
    return portable::FreeDeviceContext(dc);
}

const std::vector<DrawnRectangle>& DrawnRectangles() {
    return portable::DrawnRectangles();
}

void ShowWindowsOn(const HostScreen& screen) {
    portable::Guarded([&] {
        portable::SetRunScreen(portable::CurrentMachine(), screen.width, screen.height,
                               screen.bitsPerPixel, screen.taskbar);
    });
}

void ForgetHostScreen() {
    portable::Guarded([] { portable::ForgetRunScreen(portable::CurrentMachine()); });
}

} // namespace win
