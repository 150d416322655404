// What assistive technology (a screen reader) learns of the program's windows through
// Qt's accessibility. Every control has a name, a role and a state: buttons, text box and
// lists keep Qt's own interfaces and get their names; labels are static text, or links
// when the user can act on them (a Click or MouseUp handler: Tab reaches them, Enter and
// Space activate them); check boxes are check boxes with the model's value; a picture box
// showing a percentage is a progress bar (value 0 to 100, described by the status line
// under it), one holding controls a pane, any other a graphic; frames are groupings.
// Message boxes are Qt's, which announce their text as an alert.
#pragma once

#include <string>

namespace forms {
class Control;
class Form;
} // namespace forms

namespace forms::qt {

// Installs the interfaces of the program's own views with Qt (once).
void InstallAccessibility();

// The name a control is announced by: its caption without the access-key mark; one
// without a caption of its own (text box, lists, picture boxes) takes the caption of the
// label made last before it in its container, else its container's, else its window's.
std::string AccessibleName(const Control& control);
// What tells more about a control: for a picture box, the caption of the label made next
// after it in its container (the copy and removal windows' file name under the bar); for
// the drive list its name, since Qt names a combo box by its value on Linux.
std::string AccessibleDescription(const Control& control);

} // namespace forms::qt
