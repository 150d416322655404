// Stand-ins for the suite's programs: an MS-DOS executable whose only code prints that it
// is a stand-in and exits (so running one anywhere does nothing), followed by an overlay
// that looks like a program's contents (x86-like code, import names, strings, tables, a
// little noise) and packs about as well as a real program does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace make_dist {

// size bytes in all; the contents follow from the name.
std::string ProgramImage(std::string_view name, std::size_t size);

// The MS-DOS stub alone: a 64-byte header and the code and message after it.
std::string DosStub();

} // namespace make_dist
