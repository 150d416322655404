// The UI script parser on arbitrary text. It must never crash; each of the first twenty
// malformed lines gets one message naming the script and that line, the rest a count; and every
// step it takes reads back alike from its own source line, so messages that quote a step quote what
// was run.
#include "forms/script/ui_script.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using forms::script::ParseUiScript;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

int LineOf(const std::string& error) {
    constexpr std::string_view kPrefix = "fuzz.ui:";
    Check(error.rfind(kPrefix, 0) == 0);
    size_t colon = error.find(": ", kPrefix.size());
    Check(colon != std::string::npos);
    return std::stoi(error.substr(kPrefix.size(), colon - kPrefix.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int lines = 1;
    for (char c : text)
        lines += c == '\n';
    auto parsed = ParseUiScript(text, "fuzz.ui");
    Check(parsed.script.steps.size() + parsed.errors.size() <= static_cast<size_t>(lines));

    // The first twenty malformed lines are listed, the rest counted in one last line.
    std::vector<std::string> listed = parsed.errors;
    if (!listed.empty() && listed.back().ends_with(" more lines with errors")) {
        Check(listed.size() == 21 && listed.back().rfind("fuzz.ui: ", 0) == 0);
        listed.pop_back();
    }
    int previous = 0;
    for (const auto& error : listed) {
        int line = LineOf(error);
        Check(line > previous && line <= lines);
        previous = line;
    }
    previous = 0;
    for (const auto& step : parsed.script.steps) {
        Check(step.line > previous && step.line <= lines);
        previous = step.line;
        auto again = ParseUiScript(step.source, "fuzz.ui");
        Check(again.errors.empty() && again.script.steps.size() == 1);
        const auto& same = again.script.steps[0];
        Check(same.kind == step.kind && same.target.Text() == step.target.Text() &&
              same.value == step.value && same.expected == step.expected &&
              same.caption == step.caption);
    }
    return 0;
}
