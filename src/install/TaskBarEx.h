// The taskbar symbols at log-on: the suite's taskbar program started at every log-on of
// the current user, the symbols switched on and preset. No handler of its own: an error
// ends it and passes to the caller.
#pragma once

namespace install {

inline constexpr const char* kSymbolKey = "SOFTWARE\\Quorvel\\Zepanu\\Task-Leisten Symbole";
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValue = "Dovek's Zepanu 1.0";

void TaskBarEx();

} // namespace install
