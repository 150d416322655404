// The deletion at the next start: a "NUL=" line in WININIT.INI's [rename] section for
// every installed file (the setup program included, which cannot be deleted while it
// runs) and for the shell's icon cache. The lines join what other programs and the
// installation scheduled there; the file is replaced whole, so it is never left half
// written. No handler of its own: a failure ends the step.
#include "uninstall/KillPrBar.h"

#include "system/Setup_API.h"
#include "system/wininit_rename.h"
#include "uninstall/removal_lists.h"

#include <vector>

namespace uninstall {
namespace {

template <typename Names>
void Schedule(std::vector<std::string>& lines, const std::string& folder, const Names& names) {
    for (std::string_view name : names)
        lines.push_back("NUL=" + folder + std::string(name));
}

} // namespace

void KillPrBarForm::MachWinInitEx() {
    std::optional<std::string> p = Folder();
    std::vector<std::string> lines;
    if (p) {
        Schedule(lines, *p, kRestartFromProgramFolder);
        Schedule(lines, *p + "Doc\\", kDocFiles);
        Schedule(lines, *p + "Icons\\", kIconFiles);
    }
    lines.push_back("NUL=" + Setup_API::GetWindowsDir() + "\\SHELLI~1");
    wininit::AddRenameLines(lines, "[rename]");
}

} // namespace uninstall
