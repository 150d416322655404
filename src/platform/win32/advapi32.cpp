// The registry on Windows: the real advapi32, with RegDeleteKeyA as Windows 95 has it.
#include "platform/advapi32.h"

namespace win {
namespace {

// Longest key name the registry allows, and its terminator.
constexpr DWORD kKeyNameBuffer = 256;

bool IsPredefined(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS;
}

// Deletes every sub-key of key, deepest first.
LONG DeleteSubKeys(HKEY key) {
    char name[kKeyNameBuffer];
    for (;;) {
        DWORD size = sizeof name;
        LONG rc = ::RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;
        HKEY child = nullptr;
        rc = ::RegOpenKeyExA(key, name, 0, KEY_READ | DELETE, &child);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = DeleteSubKeys(child);
        ::RegCloseKey(child);
        if (rc == ERROR_SUCCESS)
            rc = ::RegDeleteKeyA(key, name);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
}

} // namespace

// Windows 95 deletes the whole subtree; the NT family fails on a key with sub-keys
// (ERROR_ACCESS_DENIED), so the sub-keys go first here.
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (IsPredefined(key) && (!subKey || !*subKey))
        return ERROR_ACCESS_DENIED;
    HKEY doomed = nullptr;
    LONG rc = ::RegOpenKeyExA(key, subKey ? subKey : "", 0, KEY_READ | DELETE, &doomed);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = DeleteSubKeys(doomed);
    ::RegCloseKey(doomed);
    if (rc != ERROR_SUCCESS)
        return rc;
    return ::RegDeleteKeyA(key, subKey ? subKey : "");
}

} // namespace win
