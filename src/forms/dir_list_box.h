// The folder list: the folders of a drive, one of them open. Path is the open folder's
// full path without a trailing backslash (a root keeps its backslash).
#pragma once

#include "forms/control.h"

#include <string>
#include <vector>

namespace forms {

class DirListBox : public Control {
public:
    DirListBox(Form& form, std::string name, int index = -1);

    const std::string& Path() const { return path_; }
    // Opens path, a folder or a drive ("c:" or a drive list's "c: [label]" open the
    // drive's current folder). Run-time error 68 when the drive holds no medium, 76 when
    // the folder does not exist; a change raises Change.
    void SetPath(std::string_view path);
    // The names of the folders in the open folder that the list offers (hidden and
    // system folders are not listed), sorted without regard to case.
    std::vector<std::string> Subfolders() const;

private:
    std::string path_;
};

} // namespace forms
