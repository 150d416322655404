// The suite's plain-text files: the licence terms, the errata list, any other text file,
// and the batch file. Windows-1252 with CR LF line ends.
#pragma once

#include <string>
#include <string_view>

namespace make_dist {

std::string TermsText(std::string_view name);
std::string ErrataText(std::string_view name);
std::string ReadmeText(std::string_view name);
// A harmless batch file: it only prints a note, changes nothing and waits for a key.
std::string BatchFile(std::string_view name);

} // namespace make_dist
