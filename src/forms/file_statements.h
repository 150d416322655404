// The runtime's file statements over the platform's file functions, raising the classic
// run-time errors where the platform call fails.
#pragma once

#include <string_view>

namespace forms {

// Creates a folder. 75 when it (or a file of that name) exists or access is refused, 76
// when the name is no valid folder name or its parent does not exist, 68 when the drive
// holds no medium.
void MkDir(std::string_view path);
// Removes an empty folder. 75 when it is not empty or access is refused, 76 when it does
// not exist, 68 when the drive holds no medium.
void RmDir(std::string_view path);
// Deletes one file. 53 when it does not exist, 75 when it is read-only or in use, 76 when
// its folder does not exist, 68 when the drive holds no medium.
void Kill(std::string_view path);

} // namespace forms
