#include "uninstall/UnInstall.h"

#include "forms/runtime.h"
#include "system/Setup_API.h"
#include "uninstall/KillPrBar.h"

namespace uninstall {

UnInstallForm::UnInstallForm() : Form("UnInstall") {
    SetCaption("Dovek's Zepanu's löschen");
    SetBorderStyle(3); // fixed dialog
    SetClientSize(4710, 1380);
    Label1.SetCaption("Sind Sie sicher das Sie Dovek’s Zepanu's DeInstallieren (löschen) wollen?");
    Label1.Move(240, 120, 4335, 615);
    forms::Font font;
    font.size = 9.75f;
    font.bold = true;
    Label1.SetFont(font);
    Command1.SetCaption("Ja");
    Command1.Move(360, 840, 1575, 375);
    Command1.OnClick = [this] { Command1_Click(); };
    Command2.SetCaption("Nein!");
    Command2.Move(2760, 840, 1575, 375);
    Command2.OnClick = [this] { Command2_Click(); };
}

void UnInstallForm::Form_Load() {
    Setup_API::CenterForm(*this);
}

// The confirmation stays open behind the progress window, whose drawing lets queued input
// through: a click arriving while the removal runs neither starts it again nor cuts it off.
void UnInstallForm::Command1_Click() {
    if (KillPrBar.Loaded())
        return;
    KillPrBar->Show(forms::vbModal);
}

void UnInstallForm::Command2_Click() {
    if (KillPrBar.Loaded())
        return;
    forms::End();
}

} // namespace uninstall
