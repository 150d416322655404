// The file removal: the suite's taskbar program is asked to close, then the installed
// files are deleted one by one, the setup program (which is running) excepted. Whatever
// cannot be deleted now is left to the deletion at the next start. Every failing statement
// is passed over.
#include "uninstall/KillPrBar.h"

#include "forms/file_statements.h"
#include "forms/on_error.h"
#include "platform/user32.h"
#include "system/Setup_API.h"
#include "uninstall/removal_lists.h"

namespace uninstall {
namespace {

constexpr const char* kTaskbarProgram = "Dovek's TaskBar Symbole 1.0";

template <typename Names>
void DeleteAll(forms::OnError& run, const std::string& folder, const Names& names) {
    for (std::string_view name : names)
        run([&] { forms::Kill(folder + std::string(name)); });
}

} // namespace

void KillPrBarForm::DateienLöschen() {
    forms::OnError run(forms::ResumeNext);
    std::optional<std::string> p;
    run([&] { p = Folder(); });
    HWND taskbarProgram = nullptr;
    run([&] { taskbarProgram = Setup_API::FindWindowByTitle(kTaskbarProgram, 0, 0, -1); });
    if (taskbarProgram)
        run([&] { win::SendMessageA(taskbarProgram, WM_CLOSE, 0, 0); });
    run([&] { Status("Programmdateien löschen..."); });
    run([&] { Advance(1); });
    if (p) {
        DeleteAll(run, *p, kDeleteFromProgramFolder);
        DeleteAll(run, *p + "Doc\\", kDocFiles);
        DeleteAll(run, *p + "Icons\\", kIconFiles);
    }
    run([&] { Advance(32); });
}

} // namespace uninstall
