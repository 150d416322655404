#include "uninstall/KillPrBar.h"

#include "forms/msgbox.h"
#include "forms/on_error.h"
#include "forms/runtime.h"
#include "platform/kernel32.h"
#include "program/program_state.h"
#include "system/Setup_API.h"
#include "uninstall/program_folder.h"

namespace uninstall {
namespace {

constexpr const char* kRemoved = "Dovek’s Zepanu wurde erfolgreich von Ihrem System entfernt.";

} // namespace

KillPrBarForm::KillPrBarForm() : Form("KillPrBar") {
    SetCaption("Entfernen...");
    SetBorderStyle(4); // fixed tool window
    SetClientSize(2520, 930);
    Picture1.Move(120, 120, 2295, 495);
    Picture1.SetBackColor(RGB(73, 150, 254));
    Picture1.SetForeColor(RGB(255, 0, 0));
    DateiName.SetCaption("Datei");
    DateiName.SetAutoSize(true);
    DateiName.Move(120, 720, 2295, 195);
}

void KillPrBarForm::Status(const char* text) {
    DateiName.SetCaption(text);
}

void KillPrBarForm::Advance(std::int16_t by) {
    Progress = static_cast<std::int16_t>(Progress + by);
    Setup_API::DrawProgress(Picture1, Progress);
}

const std::optional<std::string>& KillPrBarForm::Folder() {
    if (!folder_)
        folder_ = ProgramFolder();
    return *folder_;
}

void KillPrBarForm::Form_Load() {
    forms::OnError run(forms::ResumeNext);
    run([&] { Setup_API::CenterForm(*this); });
    run([&] { Show(); });
    run([] { win::Sleep(150); });
    run([&] { DateienLöschen(); });
    run([] { win::Sleep(300); });
    run([&] { LinkKiller(); });
    run([] { win::Sleep(200); });
    run([&] { MachWinInitEx(); });
    run([&] { RegKiller(); });
    run([] { win::Sleep(300); });
    run([&] { SysSymbolKiller(); });
    run([] { win::Sleep(300); });
    app::RunOutcome = app::Outcome::Completed;
    run([] { forms::MsgBox(kRemoved, forms::vbInformation); });
    forms::End();
}

} // namespace uninstall
