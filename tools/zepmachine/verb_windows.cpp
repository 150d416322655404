// zepmachine windows: the top-level windows of the machine's other programs.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/portable/windows/window_table.h"
#include "platform/quoted_input.h"

#include <cstdint>
#include <cstdio>

namespace zepmachine {

extern const Verb kWindowsVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine windows list\n"
    "       zepmachine windows add TITLE [--hidden]\n"
    "\n"
    "The top-level windows of the machine's other programs, which a program can find by\n"
    "title and close with WM_CLOSE (the close is recorded in the journal).\n"
    "  list   one line per window: handle, visible or hidden, title\n"
    "  add    opens a window titled TITLE (hidden with --hidden) and prints its handle\n";

std::string HandleText(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
    return text;
}

int List(std::span<const std::string> args) {
    ExpectArgs(args, 0, 0, "zepmachine windows list");
    for (const auto& w : portable::OtherWindows(TheMachine()))
        std::printf("%s  %-7s %s\n", HandleText(w.handle).c_str(), w.visible ? "visible" : "hidden",
                    win::QuotedInput(w.title, 0).c_str());
    return 0;
}

int Add(std::span<const std::string> args) {
    bool hidden = args.size() == 2 && args[1] == "--hidden";
    if (args.empty() || args.size() > 2 || (args.size() == 2 && !hidden))
        throw CliError("usage: zepmachine windows add TITLE [--hidden]", 2);
    HWND window = portable::OpenOtherWindow(TheMachine(), args[0], !hidden);
    std::printf("%s\n", HandleText(window).c_str());
    return 0;
}

int Run(std::span<const std::string> args) {
    if (args.empty())
        throw CliError("expected list or add\n" + std::string(kUsage), 2);
    std::span<const std::string> rest = args.subspan(1);
    if (args[0] == "list")
        return List(rest);
    if (args[0] == "add")
        return Add(rest);
    throw CliError("unknown windows command '" + args[0] + "' (list, add)", 2);
}

} // namespace

const Verb kWindowsVerb{"windows", "list or open windows of other programs", kUsage, Run};

} // namespace zepmachine
