// The file copy: every row of the install manifest expanded from the source folder (the
// folder the setup program was started from) into the program folder or its Doc or Icons
// subfolder, with the file's name and the running percentage on screen and a pause after
// each row. Report and continue: a failed statement is reported, the next one runs. A file
// that could not be installed (ExpandFile) still moves the bar and pauses; the copy window
// then names all such files in one message (NotInstalledMessage).
#pragma once

#include <string>
#include <vector>

namespace forms {
class Label;
class PictureBox;
} // namespace forms

namespace install {

// The message after the copy when files could not be installed, their names one a line.
std::string NotInstalledMessage(const std::vector<std::string>& names);

// DateiName shows the name of the file being expanded, Picture1 the progress. Returns the
// target names of the rows that could not be installed, in manifest order.
std::vector<std::string> DateienKopieren(forms::Label& DateiName, forms::PictureBox& Picture1);

} // namespace install
