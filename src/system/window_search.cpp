// Setup_API: FindWindowByTitle and its enumeration callback, with the module's search
// state that the two share during one enumeration.
#include "system/Setup_API.h"

#include "platform/codepage.h"
#include "platform/user32.h"

namespace Setup_API {
namespace {

constexpr int kTitleBuffer = 256;

// The search state (one search at a time, on the program's one thread). Titles are ANSI.
std::string searchTitle;
std::int32_t searchMode = 0;
std::int16_t searchCaseSensitive = 0;
HWND windowFound = nullptr;
std::string lastText;
std::int32_t lastLength = 0;

bool Matches(const std::string& text) {
    switch (searchMode) {
    case 0:
        return text.find(searchTitle) == 0;
    case 1:
        return text.find(searchTitle) != std::string::npos;
    case 2:
        return text == searchTitle;
    default:
        return false;
    }
}

} // namespace

HWND FindWindowByTitle(std::string_view title, std::int32_t mode, std::int16_t caseSensitive,
                       std::int16_t visibleOnly) {
    windowFound = nullptr;
    searchMode = mode;
    searchCaseSensitive = caseSensitive;
    std::string ansi = win::ToAnsi(title);
    searchTitle = caseSensitive == 0 ? win::AnsiUpper(ansi) : ansi;
    win::EnumWindows(FindWindowCallback, static_cast<LPARAM>(visibleOnly));
    return windowFound;
}

BOOL CALLBACK FindWindowCallback(HWND window, LPARAM visibleOnly) {
    // Asked but not acted on, on purpose: hidden windows are compared alike. The one
    // caller must find the taskbar-symbols program even when its window is hidden.
    if (visibleOnly != 0)
        win::IsWindowVisible(window);
    char buffer[kTitleBuffer] = {};
    lastLength = win::GetWindowTextA(window, buffer, kTitleBuffer);
    lastText.assign(buffer, static_cast<size_t>(lastLength > 0 ? lastLength : 0));
    if (lastLength > 0) {
        std::string text = searchCaseSensitive == 0 ? win::AnsiUpper(lastText) : lastText;
        if (Matches(text))
            windowFound = window;
    }
    return windowFound ? 0 : -1;
}

} // namespace Setup_API
