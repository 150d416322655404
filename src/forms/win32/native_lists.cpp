// The drive list (a drop-down list) and the folder list (a list box), filled from the
// drives and folders of the system.
#include "forms/win32/native_controls.h"

#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/win32/native_shared.h"
#include "platform/codepage.h"

#include <algorithm>

namespace forms::win32 {
namespace {

// Volume label of a drive root, empty when it has none or holds no medium.
std::string VolumeLabel(const std::string& root) {
    char label[MAX_PATH + 1] = {};
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    BOOL ok = GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr,
                                    nullptr, 0);
    SetErrorMode(old);
    return ok ? label : "";
}

// A drive as listed: "c:", with the volume's label in brackets when it has one (not read
// from removable drives, which would wait for their medium).
std::string DriveItem(const std::string& drive) {
    std::string root = drive + "\\";
    std::string label = GetDriveTypeA(root.c_str()) == DRIVE_REMOVABLE ? "" : VolumeLabel(root);
    return label.empty() ? drive : drive + " [" + label + "]";
}

// One line of the folder list, indented by its depth; the folder's full path kept beside it.
void AddFolder(HWND window, std::vector<std::string>& items, int depth, const std::string& name,
               const std::string& full) {
    std::string shown = std::string(static_cast<size_t>(depth) * 2, ' ') + name;
    SendMessageA(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    items.push_back(full);
}

// The path's folders from the root, each a level deeper; returns the depth below the last.
int AddAncestors(HWND window, std::vector<std::string>& items, const std::string& path) {
    std::string prefix;
    int depth = 0;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (!part.empty()) {
            prefix += part;
            AddFolder(window, items, depth, part, prefix.size() == 2 ? prefix + "\\" : prefix);
            prefix += '\\';
            ++depth;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return depth;
}

// The names of the folders in base (which ends in a backslash), in name order.
std::vector<std::string> SubFolders(const std::string& base) {
    std::vector<std::string> subs;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((base + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..")
                subs.push_back(name);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    std::sort(subs.begin(), subs.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    return subs;
}

} // namespace

ChildWindow DriveListWindow() {
    return {"COMBOBOX", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, {}};
}

ChildWindow FolderListWindow() {
    return {"LISTBOX",
            WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL,
            WS_EX_CLIENTEDGE,
            {}};
}

void NativeWindows::FillDrives(Control& control) {
    HWND window = WindowOf(control);
    auto& list = static_cast<DriveListBox&>(control);
    bool was = mirroring_;
    mirroring_ = true;
    SendMessageA(window, CB_RESETCONTENT, 0, 0);
    int selected = -1;
    for (const std::string& drive : list.List()) {
        std::string item = DriveItem(drive);
        LRESULT at = SendMessageA(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (drive == list.Drive())
            selected = static_cast<int>(at);
    }
    SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    mirroring_ = was;
}

// As the classic folder list shows it: the open folder's ancestors from the root, the open
// folder, then its sub-folders in name order. Each item's full path is kept beside it.
void NativeWindows::FillFolders(Control& control) {
    HWND window = WindowOf(control);
    std::string path = Ansi(static_cast<DirListBox&>(control).Path());
    std::vector<std::string>& items = folderItems_[window];
    items.clear();
    bool was = mirroring_;
    mirroring_ = true;
    SendMessageA(window, LB_RESETCONTENT, 0, 0);
    int depth = AddAncestors(window, items, path);
    int open = static_cast<int>(items.size()) - 1;
    std::string base = path.back() == '\\' ? path : path + "\\";
    for (const std::string& name : SubFolders(base))
        AddFolder(window, items, depth, name, base + name);
    SendMessageA(window, LB_SETCURSEL, static_cast<WPARAM>(open), 0);
    mirroring_ = was;
}

void NativeWindows::DriveListCommand(HWND child, WORD code) {
    if (code != CBN_SELCHANGE)
        return;
    LRESULT at = SendMessageA(child, CB_GETCURSEL, 0, 0);
    char item[MAX_PATH] = {};
    if (at >= 0 && SendMessageA(child, CB_GETLBTEXTLEN, at, 0) < MAX_PATH)
        SendMessageA(child, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(item));
    Notify(Input::Kind::Set, child, win::FromAnsi(std::string(item).substr(0, 2)));
}

void NativeWindows::FolderListCommand(HWND child, WORD code) {
    if (code != LBN_DBLCLK)
        return;
    LRESULT at = SendMessageA(child, LB_GETCURSEL, 0, 0);
    const auto& items = folderItems_[child];
    if (at >= 0 && static_cast<size_t>(at) < items.size())
        Notify(Input::Kind::Set, child, win::FromAnsi(items[static_cast<size_t>(at)]));
}

// A folder opened by a script: lParam points to its path (UTF-8).
LRESULT NativeWindows::ScriptFolder(Control& control, HWND window, LPARAM lParam, bool& handled) {
    if (control.Kind() != ControlKind::DirListBox)
        return 0;
    Notify(Input::Kind::Set, window, *reinterpret_cast<const std::string*>(lParam));
    handled = true;
    return 0;
}

} // namespace forms::win32
