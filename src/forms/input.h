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
// What a user can type or pick into control: any text for a text box, 0 or 1 for a check
// box, a drive the drive list offers ("a:"), an existing folder for a folder list; other
// controls take no value. Returns why value is refused ("a check box takes 0 or 1"),
// empty when control accepts it. Every interface checks a value with it before the
// control's window gets it.
std::string WhyValueRefused(const Control& control, std::string_view value);
// True when control already holds value (its text, check state, drive or folder is what
// a set of value gives it): a user's set of it changes nothing.
bool HoldsValue(const Control& control, std::string_view value);
// What a user types or picks (see WhyValueRefused). Returns why value is refused; empty
// when it was taken.
std::string UserSet(Control& control, std::string_view value);
// Closing a window as the user (or Windows, or the task manager) does.
void UserClose(Form& form, UnloadMode mode = UnloadMode::FormControlMenu);

} // namespace forms
