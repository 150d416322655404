// A trivial windowed program for bench/wine-bench: what Wine's own start-up costs, beside
// which the setup program's start-up is read. Without arguments it ends at once; with
// "window" it first shows an empty window, paints it and lets the messages that brings
// through, as the setup program does before its first page is usable.
#include <windows.h>

#include <cstring>

namespace {

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

int ShowOneWindow(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Plain;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "WineProbe";
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowExA(0, "WineProbe", "Probe", WS_OVERLAPPEDWINDOW, 100, 100, 480, 360,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DestroyWindow(window);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    if (std::strcmp(commandLine, "window") == 0)
        return ShowOneWindow(instance);
    return 0;
}
