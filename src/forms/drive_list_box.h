// The drive list: the machine's drives, one of them selected. Drive reads like "c:".
#pragma once

#include "forms/control.h"

#include <vector>

namespace forms {

class DriveListBox : public Control {
public:
    DriveListBox(Form& form, std::string name, int index = -1);

    const std::string& Drive() const { return drive_; }
    // Selects the drive of the first character of drive ("C", "c:", "C:\\Programme").
    // Run-time error 68 when that drive does not exist or holds no medium; a change
    // raises Change.
    void SetDrive(std::string_view drive);
    // The drives the list offers, as "a:", "c:", ...
    std::vector<std::string> List() const;
    // What a user's choice does: any drive of the list is taken, with or without a
    // medium, and raises Change. False for a drive not in the list.
    bool Choose(std::string_view drive);

private:
    bool Select(char letter);
    std::string drive_;
};

} // namespace forms
