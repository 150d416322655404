// The file types: for each ticked box 0 to 12 one extension is associated with a program
// of the suite (class, verb, command, icon) through a registry script and its flag is
// recorded; box 13 adds the folder assistant's verb to every folder. Report and continue.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace forms {
class CheckBox;
}

namespace install {

inline constexpr std::size_t kFileTypeRows = 14;

// The captions of the options page's file-type boxes, by index.
extern const std::array<std::string_view, kFileTypeRows> kFileTypeCaptions;

// boxes are the page's DateiTypenCheck(0) to (13); a box counts as ticked when its value
// is not 0.
void DateiTypenSchreiben(const std::array<forms::CheckBox*, kFileTypeRows>& boxes);

} // namespace install
