// Conversion between the program's UTF-8 strings and the system ANSI code page
// (Windows-1252), done exactly at the platform boundary.
#pragma once

#include <string>
#include <string_view>

namespace win {

// UTF-8 to Windows-1252. A character the code page lacks becomes '?' (the default
// character Windows substitutes); malformed UTF-8 bytes become '?' as well.
std::string ToAnsi(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as Windows does.
std::string FromAnsi(std::string_view ansi);

// True when every character of utf8 exists in Windows-1252.
bool IsAnsiRepresentable(std::string_view utf8);

// Upper case of one Windows-1252 character, as CharUpperA maps it (ß and ÿ stay).
unsigned char AnsiUpper(unsigned char c);

// Upper case of a Windows-1252 string.
std::string AnsiUpper(std::string_view ansi);

// Case-insensitive equality of two Windows-1252 strings.
bool AnsiEqualsNoCase(std::string_view a, std::string_view b);

} // namespace win
