// Windows 95 assignment of 8.3 aliases to long file names.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace portable {

// True when name (Windows-1252) is a valid name for a file or folder on Windows: not empty,
// at most 255 characters, no control characters or \ / : * ? " < > |, not "." or "..",
// not only dots and blanks, and not a device name (CON, PRN, AUX, NUL, COM1..9, LPT1..9,
// with or without extension).
bool IsValidLongName(std::string_view ansiName);

// True when the upper-case form of name is a device name.
bool IsDeviceName(std::string_view ansiName);

// The 8.3 alias Windows 95 gives a new entry named longName in a folder whose existing
// aliases are tested by taken (upper-case Windows-1252). Upper case; blanks and surplus dots
// dropped; + , ; = [ ] and characters the OEM character set lacks become '_'; a name that
// lost anything or does not fit 8.3 gets a numeric tail ~1, ~2, ..., as does a collision.
// Returns an empty string when the folder has no free alias left.
//
// nextTail, when given, remembers for each stem the tail to start from next time: aliases
// made one after another for names of one folder, none freed meanwhile, then cost one test
// each instead of one for every tail already used.
std::string MakeShortName(std::string_view ansiLongName,
                          const std::function<bool(std::string_view)>& taken,
                          std::unordered_map<std::string, unsigned>* nextTail = nullptr);

} // namespace portable
