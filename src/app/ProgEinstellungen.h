// The options page: the file types to associate and three further options. "&Weiter >"
// runs the chosen optional steps, refreshes the shell's icons when system icons were
// replaced, closes the wizard and ends with the completion message or the restart
// question; "Abbrechen" (and the close box) end with the completion message.
#pragma once

#include "forms/control_array.h"
#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/picture_box.h"

namespace app {

class ProgEinstellungenForm : public forms::Form {
public:
    ProgEinstellungenForm();
    void Form_Load() override;
    void Form_QueryUnload(int& cancel, forms::UnloadMode mode) override;

    // The optional steps; each reads the page's boxes and ProgDir itself.
    void DateiTypenSchreiben();
    void KnotextExVerscheidenes();
    void TaskBarEx();
    void SysSymboleschreiben();

    forms::Frame Frame1{*this, "Frame1"};
    forms::PictureBox Register_Allgemeines_Ebene1{*this, "Register_Allgemeines_Ebene1"};
    forms::ControlArray<forms::CheckBox> DateiTypenCheck{*this, "DateiTypenCheck", 14};
    forms::Frame Frame2{*this, "Frame2"};
    forms::CheckBox Check1{*this, "Check1"};
    forms::CheckBox Check2{*this, "Check2"};
    forms::CheckBox Check3{*this, "Check3"};
    forms::Line Line1{*this, "Line1"};
    forms::CommandButton Command2{*this, "Command2"};
    forms::CommandButton Command1{*this, "Command1"};

private:
    void Command1_Click();
    void Command2_Click();
    void Finish(bool desktopUpdateChosen);
};

inline forms::Global<ProgEinstellungenForm> ProgEinstellungen;

} // namespace app
