// zepmachine display: the machine's screen, colour depth and taskbar.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/portable/windows/display.h"

#include <cstdio>

namespace zepmachine {

extern const Verb kDisplayVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine display [--size WxH] [--bits N] [--planes N] [--dpi N]\n"
    "                          [--taskbar bottom|top|left|right|none|L,T,R,B]\n"
    "\n"
    "Prints the display settings, after changing those given:\n"
    "  --size WxH   screen size in pixels (a fresh machine: 1024x768)\n"
    "  --bits N     bits per pixel (16; 8 is a 256-colour screen)\n"
    "  --planes N   colour planes (1)\n"
    "  --dpi N      dots per inch (96, that is 15 twips per pixel)\n"
    "  --taskbar    the taskbar docked along an edge (its rectangle follows the screen\n"
    "               size), at a rectangle in pixels, or none (bottom)\n";

int Number(const std::string& option, const std::string& value) {
    try {
        size_t used = 0;
        int n = std::stoi(value, &used);
        if (used == value.size() && n > 0)
            return n;
    } catch (const std::exception&) {
    }
    throw CliError(option + " takes a positive number, not '" + value + "'", 2);
}

void Apply(portable::Machine& machine, const std::string& option, const std::string& value) {
    portable::Display d = portable::ReadDisplay(machine);
    if (option == "--size") {
        size_t x = value.find('x');
        if (x == std::string::npos)
            throw CliError("--size takes WIDTHxHEIGHT, such as 800x600", 2);
        d.width = Number(option, value.substr(0, x));
        d.height = Number(option, value.substr(x + 1));
    } else if (option == "--bits") {
        d.bitsPerPixel = Number(option, value);
    } else if (option == "--planes") {
        d.planes = Number(option, value);
    } else if (option == "--dpi") {
        d.dpi = Number(option, value);
    } else if (option == "--taskbar") {
        if (value != "none" && !portable::ParseRect(value) &&
            !portable::TaskbarAlong(value, d.width, d.height))
            throw CliError("--taskbar takes bottom, top, left, right, none or L,T,R,B", 2);
    } else {
        throw CliError("unknown option " + option + "\n" + std::string(kUsage), 2);
    }
    std::string taskbar = machine.Setting("display.taskbar", "bottom");
    portable::WriteDisplay(machine, d);
    portable::WriteTaskbar(machine, option == "--taskbar" ? value : taskbar);
}

int Run(std::span<const std::string> args) {
    if (args.size() % 2 != 0)
        throw CliError("every option takes a value\n" + std::string(kUsage), 2);
    portable::Machine& machine = TheMachine();
    for (size_t i = 0; i < args.size(); i += 2)
        Apply(machine, args[i], args[i + 1]);
    PrintDisplay(portable::ReadDisplay(machine), "");
    return 0;
}

} // namespace

const Verb kDisplayVerb{"display", "show or set screen size, colours and taskbar", kUsage, Run};

} // namespace zepmachine
