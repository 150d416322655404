// Lines of the Windows text files the program and the machine edit (WININIT.INI,
// SYSTEM.INI, ...): read with CR LF or a lone LF, written with CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win {

std::vector<std::string> SplitLines(std::string_view text);
// Each line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
// Without leading and trailing blanks and tabs; without the leading or the trailing ones.
std::string_view TrimBlanks(std::string_view s);
std::string_view TrimLeftBlanks(std::string_view s);
std::string_view TrimRightBlanks(std::string_view s);
// Whether s begins or ends with affix, Windows-1252 letters compared without case.
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);

} // namespace win
