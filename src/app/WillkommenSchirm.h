// The welcome screen: black, full screen, eleven coloured lines flying in from the right
// edge one after the other, then the link "Weiter" that opens the target folder page. It
// stays open behind the rest of the wizard.
#pragma once

#include "forms/control_array.h"
#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/timer.h"

namespace app {

class WillkommenSchirmForm : public forms::Form {
public:
    WillkommenSchirmForm();
    void Form_Load() override;

    forms::ControlArray<forms::Label> AnimText{*this, "AnimText", 11};
    forms::Label WeiterLabel{*this, "WeiterLabel"};
    forms::Timer Timer1{*this, "Timer1"};
    forms::Image LinkMove{*this, "LinkMove"};
    forms::Image LinkHandZu{*this, "LinkHandZu"};

private:
    void Timer1_Timer();
    void WeiterLabel_MouseMove();
    void WeiterLabel_MouseUp();
};

inline forms::Global<WillkommenSchirmForm> WillkommenSchirm;

} // namespace app
