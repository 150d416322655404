// The agreement page, the first window of the installation run: the terms and two
// buttons. Accepting records the acceptance and opens the welcome screen; declining
// ends the program.
#pragma once

#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/picture_box.h"
#include "program/suite_contract.h"

namespace app {

class LizenzForm : public forms::Form {
public:
    LizenzForm();
    void Form_Load() override;

    forms::PictureBox Picture1{*this, "Picture1"};
    forms::Label Label2{*this, "Label2"};
    forms::Label Label1{*this, "Label1"};
    forms::Label Label3{*this, "Label3"};
    forms::Label Label4{*this, "Label4"};
    forms::Label Label5{*this, "Label5"};
    forms::CommandButton Command1{*this, "Command1"};
    forms::CommandButton Command2{*this, "Command2"};

private:
    void Command1_Click();
    void Command2_Click();
};

inline forms::Global<LizenzForm> Lizenz;

// The value the acceptance is recorded in (HKEY_CURRENT_USER), written, never read.
inline constexpr const char* kAcceptanceKey = kVersionKey;
inline constexpr const char* kAcceptanceValue = "Der Benutzer hat der Lizenz zugestimmt";

} // namespace app
