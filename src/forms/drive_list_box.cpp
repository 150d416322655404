#include "forms/drive_list_box.h"

#include "forms/run_time_error.h"
#include "platform/kernel32.h"

#include <cctype>

namespace forms {
namespace {

char LowerLetter(std::string_view drive) {
    if (drive.empty() || !std::isalpha(static_cast<unsigned char>(drive[0])))
        return 0;
    return static_cast<char>(std::tolower(static_cast<unsigned char>(drive[0])));
}

// A drive can be selected by the program when it exists and holds a medium.
bool Available(char letter) {
    std::string root = std::string(1, letter) + ":\\";
    UINT type = win::GetDriveTypeA(root.c_str());
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN)
        return false;
    return win::GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

DriveListBox::DriveListBox(Form& form, std::string name, int index)
    : Control(form, std::move(name), ControlKind::DriveListBox, index) {
    SetBackColor(0xFFFFFF);
    char current[MAX_PATH] = {};
    win::GetCurrentDirectoryA(MAX_PATH, current);
    char letter = LowerLetter(current);
    drive_ = letter ? std::string(1, letter) + ":" : "c:";
}

std::vector<std::string> DriveListBox::List() const {
    char buffer[256] = {};
    DWORD n = win::GetLogicalDriveStringsA(sizeof buffer, buffer);
    std::vector<std::string> drives;
    for (DWORD i = 0; i < n && i < sizeof buffer; i += 4) {
        if (char letter = LowerLetter(buffer + i))
            drives.push_back(std::string(1, letter) + ":");
    }
    return drives;
}

bool DriveListBox::Select(char letter) {
    std::string drive = std::string(1, letter) + ":";
    if (drive == drive_)
        return false;
    drive_ = drive;
    Changed(Property::Drive);
    return true;
}

void DriveListBox::SetDrive(std::string_view drive) {
    char letter = LowerLetter(drive);
    if (!letter || !Available(letter))
        Raise(kDeviceUnavailable);
    if (Select(letter) && OnChange)
        OnChange();
}

bool DriveListBox::Choose(std::string_view drive) {
    char letter = LowerLetter(drive);
    std::string wanted = std::string(1, letter) + ":";
    bool listed = false;
    for (const auto& d : List())
        listed = listed || d == wanted;
    if (!letter || !listed)
        return false;
    if (Select(letter) && OnChange)
        OnChange();
    return true;
}

} // namespace forms
