// What the distribution holds for each row of the install manifest, expanded: a stand-in of
// the right kind (chosen by the file's extension), or for the setup program's own row the
// setup program itself.
#pragma once

#include "install/manifest.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace make_dist {

// The row that carries the setup program (the installed copy runs the removal).
inline constexpr std::string_view kSetupProgram = "Zepsetup.exe";

// A program stand-in's size per percentage point of the progress bar.
inline constexpr std::size_t kProgramBytesPerWeight = 80 * 1024;
// How many icons the icon library holds.
inline constexpr std::size_t kLibraryIcons = 64;

// The expanded bytes of the row; setupProgram is what the setup program's row holds.
// Throws std::runtime_error for a file type it has no stand-in for.
std::string StandIn(const install::ManifestRow& row, std::string_view setupProgram);

} // namespace make_dist
