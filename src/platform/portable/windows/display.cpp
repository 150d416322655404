#include "platform/portable/windows/display.h"

#include "platform/portable/machine.h"

#include <charconv>

namespace portable {
namespace {

constexpr int kThickness = 30; // along the top or bottom edge, overhang included
constexpr int kWidthOnSide = 66;

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int PositiveSetting(Machine& machine, std::string_view key, int fallback) {
    auto value = ParseInt(machine.Setting(key));
    return value && *value > 0 ? *value : fallback;
}

} // namespace

std::optional<RECT> ParseRect(std::string_view text) {
    LONG parts[4];
    for (int i = 0; i < 4; ++i) {
        size_t comma = i < 3 ? text.find(',') : text.size();
        if (comma == std::string_view::npos)
            return std::nullopt;
        auto value = ParseInt(text.substr(0, comma));
        if (!value)
            return std::nullopt;
        parts[i] = *value;
        text.remove_prefix(i < 3 ? comma + 1 : comma);
    }
    return RECT{parts[0], parts[1], parts[2], parts[3]};
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

std::optional<RECT> TaskbarAlong(std::string_view edge, int width, int height) {
    if (edge == "bottom")
        return RECT{-2, height - kThickness + 2, width + 2, height + 2};
    if (edge == "top")
        return RECT{-2, -2, width + 2, kThickness - 2};
    if (edge == "left")
        return RECT{-2, -2, kWidthOnSide - 2, height + 2};
    if (edge == "right")
        return RECT{width - kWidthOnSide + 2, -2, width + 2, height + 2};
    return std::nullopt;
}

Display ReadDisplay(Machine& machine) {
    Display d;
    d.width = PositiveSetting(machine, "display.width", d.width);
    d.height = PositiveSetting(machine, "display.height", d.height);
    d.bitsPerPixel = PositiveSetting(machine, "display.bits", d.bitsPerPixel);
    d.planes = PositiveSetting(machine, "display.planes", d.planes);
    d.dpi = PositiveSetting(machine, "display.dpi", d.dpi);
    std::string taskbar = machine.Setting("display.taskbar", "bottom");
    if (taskbar == "none")
        d.taskbar.reset();
    else if (auto rect = ParseRect(taskbar))
        d.taskbar = rect;
    else if (auto along = TaskbarAlong(taskbar, d.width, d.height))
        d.taskbar = along;
    else
        d.taskbar = TaskbarAlong("bottom", d.width, d.height);
    return d;
}

void SetRunScreen(Machine& machine, int width, int height, int bitsPerPixel,
                  const std::optional<RECT>& taskbar) {
    machine.SetRunSetting("display.width", std::to_string(width));
    machine.SetRunSetting("display.height", std::to_string(height));
    machine.SetRunSetting("display.bits", std::to_string(bitsPerPixel));
    machine.SetRunSetting("display.planes", "1");
    machine.SetRunSetting("display.taskbar", taskbar ? RectText(*taskbar) : "none");
}

void ForgetRunScreen(Machine& machine) {
    for (const char* key :
         {"display.width", "display.height", "display.bits", "display.planes", "display.taskbar"})
        machine.ForgetRunSetting(key);
}

void WriteTaskbar(Machine& machine, std::string_view taskbar) {
    machine.SetSetting("display.taskbar", taskbar);
}

void WriteDisplay(Machine& machine, const Display& d) {
    machine.SetSetting("display.width", std::to_string(d.width));
    machine.SetSetting("display.height", std::to_string(d.height));
    machine.SetSetting("display.bits", std::to_string(d.bitsPerPixel));
    machine.SetSetting("display.planes", std::to_string(d.planes));
    machine.SetSetting("display.dpi", std::to_string(d.dpi));
    machine.SetSetting("display.taskbar", d.taskbar ? RectText(*d.taskbar) : "none");
}

} // namespace portable
