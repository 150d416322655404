// The removal confirmation, the first window of the removal run: "Ja" runs the removal in
// the progress window, "Nein!" and the close box end the program with nothing changed.
#pragma once

#include "forms/controls.h"
#include "forms/global_form.h"

namespace uninstall {

class UnInstallForm : public forms::Form {
public:
    UnInstallForm();
    void Form_Load() override;

    forms::Label Label1{*this, "Label1"};
    forms::CommandButton Command1{*this, "Command1"};
    forms::CommandButton Command2{*this, "Command2"};

private:
    void Command1_Click();
    void Command2_Click();
};

inline forms::Global<UnInstallForm> UnInstall;

} // namespace uninstall
