#include "install/MachShellIcons.h"

#include "platform/codepage.h"
#include "platform/shortcut_toolkit.h"
#include "program/error_model.h"
#include "program/program_state.h"
#include "system/Setup_API.h"

namespace install {
namespace {

// The toolkit takes ANSI strings; its result is not looked at.
void CreateLink(const Shortcut& shortcut) {
    std::string folder = win::ToAnsi(shortcut.folder);
    std::string title = win::ToAnsi(shortcut.title);
    std::string target =
        win::ToAnsi(Setup_API::AddBackslash(app::ProgDir) + std::string(shortcut.target));
    win::fCreateShellLink(folder.c_str(), title.c_str(), target.c_str(), "");
}

} // namespace

std::int32_t MachShellIcons() {
    forms::OnError run(app::ReportAndContinue);
    run([] { CreateLink(kDesktopShortcut); });
    run([] { win::fCreateShellFolder(win::ToAnsi(kGroupName).c_str()); });
    for (const Shortcut& shortcut : kGroupShortcuts)
        run([&] { CreateLink(shortcut); });
    return 0;
}

} // namespace install
