// The file copy: every row of the install manifest expanded from the source folder (the
// folder the setup program was started from) into the program folder or its Doc or Icons
// subfolder, with the file's name and the running percentage on screen and a pause after
// each row. Report and continue: a failed statement is reported, the next one runs; the
// outcome of an expansion is not examined.
#pragma once

namespace forms {
class Label;
class PictureBox;
} // namespace forms

namespace install {

// DateiName shows the name of the file being expanded, Picture1 the progress.
void DateienKopieren(forms::Label& DateiName, forms::PictureBox& Picture1);

} // namespace install
