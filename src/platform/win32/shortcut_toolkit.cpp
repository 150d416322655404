// The shortcut toolkit on Windows: folders under the Programs folder the registry names,
// links written by the shell's own IShellLinkA and saved through IPersistFile.
#include "platform/shortcut_toolkit.h"

#include "platform/shell_folders.h"

#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <string_view>

namespace win {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Programs joined with folder and normalised as Win32 does it ('..' stops at the root).
std::optional<std::string> ResolveFolder(LPCSTR folder) {
    auto programs = ProgramsFolder();
    if (!programs)
        return std::nullopt;
    std::string joined = *programs + "\\" + (folder ? folder : "");
    char full[MAX_PATH];
    DWORD n = ::GetFullPathNameA(joined.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full)
        return std::nullopt;
    std::string path(full, n);
    while (path.size() > 3 && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates path and every missing folder above it.
bool CreateFolders(const std::string& path) {
    if (IsFolder(path))
        return true;
    for (size_t at = path.find('\\', 3);; at = path.find('\\', at + 1)) {
        std::string step = path.substr(0, at);
        if (!IsFolder(step) && !::CreateDirectoryA(step.c_str(), nullptr) &&
            !(::GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(step)))
            return false;
        if (at == std::string::npos)
            return true;
    }
}

// folder\linkName.lnk, when linkName is one name.
std::optional<std::string> LinkPath(const std::string& folder, LPCSTR linkName) {
    if (!linkName || !*linkName)
        return std::nullopt;
    std::string_view name(linkName);
    if (name.find_first_of("\\/") != std::string_view::npos || name == "." || name == "..")
        return std::nullopt;
    return folder + (IsSeparator(folder.back()) ? "" : "\\") + std::string(name) + ".lnk";
}

std::wstring Wide(const std::string& ansi) {
    int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), n);
    wide.resize(wide.size() - 1);
    return wide;
}

// COM for the calling thread while a link is written; balanced only when this call set
// it up.
class ComScope {
public:
    ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

template <typename T> struct Released {
    T* p = nullptr;
    ~Released() {
        if (p)
            p->Release();
    }
};

bool SaveLink(const std::string& link, const std::string& target, LPCSTR arguments) {
    ComScope com;
    if (!com.Usable())
        return false;
    Released<IShellLinkA> shell;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&shell.p))))
        return false;
    std::string folder = target.substr(0, target.find_last_of('\\'));
    if (folder.size() == 2)
        folder += '\\';
    if (FAILED(shell.p->SetPath(target.c_str())) ||
        FAILED(shell.p->SetArguments(arguments ? arguments : "")) ||
        FAILED(shell.p->SetWorkingDirectory(folder.c_str())) ||
        FAILED(shell.p->SetIconLocation(target.c_str(), 0)) ||
        FAILED(shell.p->SetShowCmd(SW_SHOWNORMAL)))
        return false;
    Released<IPersistFile> file;
    if (FAILED(shell.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))))
        return false;
    return SUCCEEDED(file.p->Save(Wide(link).c_str(), TRUE));
}

} // namespace

LONG fCreateShellFolder(LPCSTR folder) {
    auto path = ResolveFolder(folder);
    return path && CreateFolders(*path) ? 1 : 0;
}

LONG fCreateShellLink(LPCSTR folder, LPCSTR linkName, LPCSTR target, LPCSTR arguments) {
    auto path = ResolveFolder(folder);
    if (!path || !target || !*target)
        return 0;
    auto link = LinkPath(*path, linkName);
    if (!link || !CreateFolders(*path))
        return 0;
    return SaveLink(*link, target, arguments) ? 1 : 0;
}

LONG fRemoveShellLink(LPCSTR folder, LPCSTR linkName) {
    auto path = ResolveFolder(folder);
    if (!path)
        return 0;
    auto link = LinkPath(*path, linkName);
    return link && ::DeleteFileA(link->c_str()) ? 1 : 0;
}

} // namespace win
