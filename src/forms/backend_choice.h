// Chooses the user interface from the environment: ZEPSETUP_UI ("qt" or "headless"; by
// default qt where a display exists and it is built, headless otherwise),
// ZEPSETUP_UI_SCRIPT (the UI script a headless run follows) and ZEPSETUP_TRANSCRIPT (where
// a headless run writes its transcript; stderr when unset).
#pragma once

#include "forms/backend.h"

#include <memory>

namespace forms {

// Throws BackendFailure saying what is missing or wrong.
std::unique_ptr<Backend> ChooseBackend();

} // namespace forms
