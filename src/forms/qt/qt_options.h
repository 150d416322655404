// What a qt backend is made with; free of Qt, so that the program can ask for windows
// without including Qt.
#pragma once

#include "forms/script/transcript.h"
#include "forms/script/ui_script.h"

#include <memory>
#include <optional>
#include <string>

namespace forms::qt {

struct QtOptions {
    std::optional<script::UiScript> script;         // input from a script, else the user
    std::shared_ptr<script::Transcript> transcript; // null: kept in memory
    std::string recordTo;                           // empty: no recording
};

} // namespace forms::qt
