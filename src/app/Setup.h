// The target folder page: drive, parent folder and the name of the program folder. "Weiter
// >" refuses CD-ROM drives, creates the program folder with Doc and Icons, sets ProgDir
// and hands over to the copy window. Closing it creates nothing.
#pragma once

#include "forms/controls.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/global_form.h"

#include <cstdint>

namespace app {

class SetupForm : public forms::Form {
public:
    SetupForm();
    void Form_Load() override;

    forms::Frame SetupFrame{*this, "SetupFrame"};
    forms::DriveListBox Drive1{*this, "Drive1"};
    forms::DirListBox Dir1{*this, "Dir1"};
    forms::Label NameDesOrdners{*this, "NameDesOrdners"};
    forms::TextBox Text1{*this, "Text1"};
    forms::CommandButton WeiterCommand{*this, "WeiterCommand"};

private:
    void Drive1_Change();
    void WeiterCommand_Click();
    // The handler's own messages for 68, 75 and 76; false for any other error.
    bool OwnMessage(std::int32_t number);
    void BackToWindowsDrive();
};

inline forms::Global<SetupForm> Setup;

} // namespace app
