// advapi32: the registry functions the program calls, with Win32 names, argument order and
// results (ERROR_SUCCESS or an error code; no last-error). The portable machine implements
// them in portable/registry/advapi32.cpp over the machine's registry store; the Windows build
// forwards to the real functions.
#pragma once

#include "platform/win_types.h"

namespace win {

#ifdef _WIN32
using ::RegCloseKey;
using ::RegCreateKeyExA;
using ::RegDeleteValueA;
// Windows 95 deletes a key with its whole subtree; the NT family (and Wine) refuse a key
// that has sub-keys, so the Windows build deletes the subtree itself (win32/advapi32.cpp).
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
using ::RegEnumKeyExA;
using ::RegEnumValueA;
using ::RegOpenKeyExA;
using ::RegQueryValueExA;
using ::RegSetValueExA;
#else
// Key names ignore case (Windows-1252 upper case, umlauts included); a sub-key path has
// components separated by '\'. Access masks are accepted and not enforced, as on Windows
// 95. Null or unknown handles fail with ERROR_INVALID_HANDLE and change nothing (a null
// key given to RegOpenKeyExA or RegCloseKey is ERROR_BADKEY, as on Windows 95); a handle
// whose key has been deleted fails with ERROR_KEY_DELETED.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
// Creates the key and every missing key above it in one change; an existing key is opened.
// One leading '\' is ignored, as Windows 95 does, and so is a second trailing one
// ("Sub\\\\" in C), as RegOpenKeyExA ignores it.
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, void* securityAttributes, PHKEY result, LPDWORD disposition);
// Predefined keys may be closed and stay usable; a handle closed before closes again
// without complaint, as on Windows 95.
LONG RegCloseKey(HKEY key);
// A null or empty name is the default value. With data null, only type and size are
// returned; with a buffer smaller than the value, ERROR_MORE_DATA and the size needed
// (buffer untouched). Sizes are the stored sizes, terminators included. Every input is read
// before any output is written, so type and dataSize may point at one variable.
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
// Stores exactly dataSize bytes of data with the given type, except that a REG_SZ is taken
// as the string data points at: its text and one NUL are stored whatever dataSize says, as
// Windows 95 does (the NT family stores dataSize bytes, adding a NUL only where the byte
// after them is one). A REG_SZ without data is ERROR_INVALID_PARAMETER (Windows 95).
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
// Deletes the key with its whole subtree, as Windows 95 does. A predefined key itself
// cannot be deleted (ERROR_ACCESS_DENIED); a null sub-key is ERROR_BADKEY (Windows 95).
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
// Subkeys and values in the order of their upper-case names; ERROR_NO_MORE_ITEMS past the
// last. Sizes count characters without the terminator on return; ERROR_MORE_DATA when a
// buffer is too small. Class and time are not kept: empty and zero. RegEnumValueA reports
// type and data size even then; with the data too large it leaves name and length alone,
// with the name too long it gives what fits of the name and that length (Windows 95; the
// NT family leaves the length alone).
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classSize, PFILETIME lastWriteTime);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize);
#endif

} // namespace win
