#include "forms/dir_list_box.h"

#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"

#include <algorithm>
#include <cctype>

namespace forms {
namespace {

bool IsDriveOnly(std::string_view path) {
    // "c:", and the drive list's "c: [LABEL]".
    return path.size() >= 2 && path[1] == ':' && (path.size() == 2 || path[2] == ' ');
}

// The current folder of a drive: the process's own when it is on that drive, else the
// drive's root (the portable machine keeps one current folder).
std::string CurrentFolderOf(char letter) {
    char current[MAX_PATH] = {};
    win::GetCurrentDirectoryA(MAX_PATH, current);
    if (std::toupper(static_cast<unsigned char>(current[0])) == letter)
        return win::FromAnsi(current);
    return std::string(1, letter) + ":\\";
}

bool Listed(const WIN32_FIND_DATAA& entry) {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        return false;
    std::string_view name = entry.cFileName;
    return name != "." && name != "..";
}

std::string WithoutTrailingBackslash(std::string path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

} // namespace

DirListBox::DirListBox(Form& form, std::string name, int index)
    : Control(form, std::move(name), ControlKind::DirListBox, index) {
    SetBackColor(0xFFFFFF);
    char current[MAX_PATH] = {};
    win::GetCurrentDirectoryA(MAX_PATH, current);
    path_ = WithoutTrailingBackslash(win::FromAnsi(current));
}

void DirListBox::SetPath(std::string_view path) {
    std::string wanted(path);
    if (IsDriveOnly(wanted))
        wanted =
            CurrentFolderOf(static_cast<char>(std::toupper(static_cast<unsigned char>(wanted[0]))));
    if (wanted.size() >= 2 && wanted[1] == ':')
        wanted[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(wanted[0])));
    std::string ansi = win::ToAnsi(wanted);
    DWORD attributes = win::GetFileAttributesA(ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && win::GetLastError() == ERROR_NOT_READY)
        Raise(kDeviceUnavailable);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        Raise(kPathNotFound);
    wanted = WithoutTrailingBackslash(wanted);
    if (wanted.size() == 2)
        wanted += "\\";
    if (wanted == path_)
        return;
    path_ = wanted;
    Changed(Property::Path);
    if (OnChange)
        OnChange();
}

std::vector<std::string> DirListBox::Subfolders() const {
    std::string pattern = win::ToAnsi(path_);
    if (pattern.empty() || pattern.back() != '\\')
        pattern += '\\';
    pattern += "*.*";
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    HANDLE find = win::FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (Listed(entry))
            names.push_back(entry.cFileName);
    } while (win::FindNextFileA(find, &entry));
    win::FindClose(find);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return win::AnsiUpper(a) < win::AnsiUpper(b);
    });
    for (auto& name : names)
        name = win::FromAnsi(name);
    return names;
}

} // namespace forms
