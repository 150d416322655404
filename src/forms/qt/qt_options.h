// What a qt backend is made with; free of Qt, so that the program can ask for windows
// without including Qt.
#pragma once

#include "forms/headless/transcript.h"
#include "forms/headless/ui_script.h"

#include <memory>
#include <optional>
#include <string>

namespace forms::qt {

struct QtOptions {
    std::optional<headless::UiScript> script;         // input from a script, else the user
    std::shared_ptr<headless::Transcript> transcript; // null: kept in memory
    std::string recordTo;                             // empty: no recording
};

} // namespace forms::qt
