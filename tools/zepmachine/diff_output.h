// The two forms of `zepmachine diff`: lines for a person, one JSON document for scripts.
#pragma once

#include <string>
#include <string_view>

namespace portable {
struct StateDiff;
}

namespace zepmachine {

// One line per difference, then the summary line.
std::string DiffText(const portable::StateDiff& diff);
// The document `zepmachine diff --help` describes.
std::string DiffJson(const portable::StateDiff& diff, std::string_view snapshot,
                     std::string_view taken);

// Read-only, hidden, system as "RHS" letters; empty for none.
std::string AttributeLetters(unsigned long attributes);

} // namespace zepmachine
