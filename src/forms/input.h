// User input, as backends and tests feed it into the model. Each action runs the
// control's handlers through the runtime, as a real click or key would.
#pragma once

#include "forms/control.h"
#include "forms/form.h"

#include <string>
#include <string_view>

namespace forms {

// Why a user cannot reach control now ("Setup.WeiterCommand is disabled"); empty when
// the control (or window) is loaded, shown, enabled and not behind a modal window.
std::string WhyNoInput(const Control& control);

// A click: a check box toggles (and raises Click), anything else raises Click.
void UserClick(Control& control);
void UserMouseUp(Control& control, int button = vbLeftButton);
void UserMouseMove(Control& control);
// What a user types or picks: the text of a text box, 0 or 1 for a check box, a drive
// of a drive list ("a:"), an existing folder for a folder list. Returns what is wrong
// with value for this control; empty when it was taken.
std::string UserSet(Control& control, std::string_view value);
// Closing a window as the user (or Windows, or the task manager) does.
void UserClose(Form& form, UnloadMode mode = UnloadMode::FormControlMenu);

} // namespace forms
