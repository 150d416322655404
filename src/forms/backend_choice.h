// Chooses the user interface from the environment: ZEPSETUP_UI ("qt" or "headless"; by
// default qt where a display exists (DISPLAY or WAYLAND_DISPLAY), headless otherwise),
// ZEPSETUP_UI_SCRIPT (the UI script a headless run follows; a qt run follows it too when
// given, as input events in its windows), ZEPSETUP_TRANSCRIPT (where the transcript goes:
// a headless run writes it to stderr when unset, a qt run only when set) and
// ZEPSETUP_RECORD (qt: the file the user's actions are recorded to as a UI script).
#pragma once

#include "forms/backend.h"

#include <memory>

namespace forms {

// Throws BackendFailure saying what is missing or wrong.
std::unique_ptr<Backend> ChooseBackend();

} // namespace forms
