// What the program knows about itself: its title (the title of every message box), the
// folder it was started from and its argument text.
#pragma once

#include <string>
#include <string_view>

namespace forms::App {

const std::string& Title();
void SetTitle(std::string title);

// The folder of the program's file, without a trailing backslash unless it is a root.
std::string Path();
// The argument text: the command line after the program's name and the blanks behind it.
std::string Command();

// The argument text of a command line (the program's name may be quoted).
std::string ArgumentText(std::string_view commandLine);

} // namespace forms::App
