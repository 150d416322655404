// The copy window: while it shows the file being expanded and the progress, its load
// handler runs the three fixed installation steps (file copy, program group, uninstall
// entry), then it closes itself and opens the options page. Closing it during the copy
// asks whether to cancel; a confirmed cancel moves the program folder to the recycle bin
// and ends the program.
#pragma once

#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/picture_box.h"

#include <cstdint>

namespace app {

class DateinCopyForm : public forms::Form {
public:
    DateinCopyForm();
    void Form_Load() override;
    void Form_QueryUnload(int& cancel, forms::UnloadMode mode) override;

    // The installation steps, in the order the load handler runs them.
    void DateienKopieren();
    std::int32_t MachShellIcons();
    void MachUninstEx();

    forms::PictureBox Picture1{*this, "Picture1"};
    forms::Label DateiName{*this, "DateiName"};

private:
    void UserWantsToClose(int& cancel);
};

inline forms::Global<DateinCopyForm> DateinCopy;

} // namespace app
