// Setup_API: the file and path services every step uses to find its way around the file
// system. Strings are UTF-8; they cross into the platform as ANSI. No operation keeps
// anything open between calls or shows a message; failures the operations do not absorb
// are run-time errors for the caller's error policy.
#pragma once

#include <string>
#include <string_view>

namespace Setup_API {

// The Windows system folder without a trailing backslash; set by GetSystemDir.
extern std::string SysDir;

// Sets SysDir from the platform; a failing call leaves it empty.
void GetSystemDir();
// The Windows folder without a trailing backslash, or empty when the call fails.
std::string GetWindowsDir();
// The temporary folder with its trailing backslash. Run-time error 5 when the platform
// wrote nothing.
std::string GetTempDir();
// path with exactly one backslash added unless it already ends in one. Run-time error 5
// for an empty path.
std::string AddBackslash(std::string_view path);
// The 8.3 form of an existing path, or empty when it does not exist.
std::string GetShortPath(std::string_view path);
// Expands the SZDD-packed source into target (or copies a plain source). The target is
// created (or emptied) even when the source cannot be read; nothing is reported.
void ExpandFile(std::string_view source, std::string_view target);

} // namespace Setup_API
