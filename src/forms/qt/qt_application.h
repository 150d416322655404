// The one Qt application of the process, made ready for the program's windows: the
// classic look (the Windows style and its grey palette), the fonts of fonts-wine and
// Liberation Sans, and no command-line arguments (the program's argument text is its own).
#pragma once

namespace forms::qt {

// Creates the application unless one exists. A platform that cannot start (no display to
// connect to) ends the process with exit status 1 and a message saying so, instead of the
// abort Qt would end it with.
void EnsureApplication();

} // namespace forms::qt
