// The drive list (a drop-down list) and the folder list (a list box), filled from the
// drives and folders of the system.
#include "forms/win32/native_controls.h"

#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/win32/native_shared.h"

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

} // namespace

void NativeWindows::FillDrives(Control& control) {
    HWND window = WindowOf(control);
    auto& list = static_cast<DriveListBox&>(control);
    bool was = mirroring_;
    mirroring_ = true;
    SendMessageA(window, CB_RESETCONTENT, 0, 0);
    int selected = -1;
    for (const std::string& drive : list.List()) {
        std::string root = drive + "\\";
        std::string label = GetDriveTypeA(root.c_str()) == DRIVE_REMOVABLE ? "" : VolumeLabel(root);
        std::string item = label.empty() ? drive : drive + " [" + label + "]";
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
    auto& list = static_cast<DirListBox&>(control);
    std::string path = Ansi(list.Path());
    std::vector<std::string>& items = folderItems_[window];
    items.clear();
    bool was = mirroring_;
    mirroring_ = true;
    SendMessageA(window, LB_RESETCONTENT, 0, 0);
    auto add = [&](const std::string& shown, const std::string& full) {
        SendMessageA(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
        items.push_back(full);
    };
    std::string prefix;
    int depth = 0;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (!part.empty()) {
            prefix += part;
            std::string full = prefix.size() == 2 ? prefix + "\\" : prefix;
            add(std::string(static_cast<size_t>(depth) * 2, ' ') + part, full);
            prefix += '\\';
            ++depth;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    int open = static_cast<int>(items.size()) - 1;
    std::string base = path.back() == '\\' ? path : path + "\\";
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
    for (const std::string& name : subs)
        add(std::string(static_cast<size_t>(depth) * 2, ' ') + name, base + name);
    SendMessageA(window, LB_SETCURSEL, static_cast<WPARAM>(open), 0);
    mirroring_ = was;
}

} // namespace forms::win32
