// WritePrivateProfileStringA on the portable machine: the INI file is edited as text
// (ini_file) and replaced whole through a renamed sibling (text_files).
// Left out: the profile cache of Windows (every call reads and writes the file), the
// flush call with all arguments null, files mapped to the registry.
#include "platform/kernel32.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/file_system.h"
#include "platform/portable/ini_file.h"
#include "platform/portable/text_files.h"

namespace win {
namespace {

BOOL Result(DWORD code) {
    SetLastError(code);
    return code == ERROR_SUCCESS ? TRUE : FALSE;
}

// A bare file name lies in the Windows folder, as on Windows.
std::string ProfilePath(portable::FileSystem& files, std::string_view name) {
    if (name.find_first_of("\\/:") != std::string_view::npos)
        return std::string(name);
    std::string windows = ToAnsi(files.machine().Setting("windows_dir", "C:\\WINDOWS"));
    return windows + "\\" + std::string(name);
}

std::string JournalEntry(const std::string& path, LPCSTR section, LPCSTR key, LPCSTR value) {
    std::string entry = "profile " + FromAnsi(path) + " [" + FromAnsi(section) + "]";
    if (!key)
        return entry + " deleted";
    entry += " " + FromAnsi(key);
    return value ? entry + "=" + FromAnsi(value) : entry + " deleted";
}

} // namespace

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!section || !fileName)
            return Result(ERROR_INVALID_PARAMETER);
        portable::FileSystem& files = portable::CurrentFileSystem();
        std::string path = ProfilePath(files, fileName);
        std::string text;
        DWORD rc = portable::ReadWholeFile(files, path, text);
        bool deleting = !key || !value;
        if (rc == ERROR_FILE_NOT_FOUND && deleting)
            return Result(ERROR_SUCCESS); // nothing to delete
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return Result(rc);
        std::string edited =
            !key ? portable::ini::DeleteSection(text, section)
                 : portable::ini::SetEntry(text, section, key,
                                           value ? std::optional<std::string_view>(value)
                                                 : std::nullopt);
        if (edited == text && rc == ERROR_SUCCESS)
            return Result(ERROR_SUCCESS);
        if (rc = portable::ReplaceWholeFile(files, path, edited); rc != ERROR_SUCCESS)
            return Result(rc);
        files.machine().Journal(JournalEntry(path, section, key, value));
        return Result(ERROR_SUCCESS);
    });
}

} // namespace win
