#include "platform/shell_folders.h"

#include "platform/advapi32.h"

namespace win {
namespace {

constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                 "Shell Folders";

bool IsFullPath(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

} // namespace

std::optional<std::string> ProgramsFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    char buffer[MAX_PATH];
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    LONG rc =
        RegQueryValueExA(key, "Programs", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::string path(buffer, size);
    path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
    if (!IsFullPath(path))
        return std::nullopt;
    return path;
}

} // namespace win
