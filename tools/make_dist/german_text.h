// Placeholder prose for the suite's documents: German-looking sentences from a fixed
// vocabulary, wrapped into lines. Written as UTF-8; WindowsText converts a finished text
// to what the files hold (Windows-1252, CR LF).
#pragma once

#include "random.h"

#include <string>
#include <string_view>

namespace make_dist {

class GermanText {
public:
    explicit GermanText(Random& random) : random_(random) {}

    std::string Sentence();
    std::string Paragraph(int sentences);
    // A short heading-like phrase ("Symbole der Oberfläche ändern").
    std::string Phrase();

private:
    std::string Noun();
    Random& random_;
};

// The text broken into lines of at most width characters (UTF-8 characters counted once),
// lines after the first starting with hanging; lines end with "\n".
std::string Wrap(std::string_view text, std::size_t width, std::string_view hanging = "");

// UTF-8 with "\n" line ends to Windows-1252 with CR LF.
std::string WindowsText(std::string_view utf8);

} // namespace make_dist
