// Message boxes: modal, always with the application's title.
#pragma once

#include <string_view>

namespace forms {

inline constexpr int vbOKOnly = 0;
inline constexpr int vbYesNo = 4;
inline constexpr int vbCritical = 16;
inline constexpr int vbInformation = 64;

inline constexpr int vbOK = 1;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// Shows prompt with the buttons and icon of style and waits for the answer: vbOK, vbYes
// or vbNo.
int MsgBox(std::string_view prompt, int style = vbOKOnly);

} // namespace forms
