// WritePrivateProfileStringA on the portable machine: the INI file is read as a stream
// twice, to find the lines the edit touches (ini_file) and to copy it with the edit to a
// sibling renamed over it (text_files), so that a file of any size costs bounded memory.
// Left out: the profile cache of Windows (every call reads and writes the file), the
// flush call with all arguments null, files mapped to the registry.
#include "platform/kernel32.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/ini_file.h"
#include "platform/portable/files/text_files.h"

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
        portable::ini::ProfileEdit edit{section, std::nullopt, std::nullopt};
        if (key)
            edit.key = key;
        if (key && value)
            edit.value = value;
        portable::ini::StreamedEdit streamed(edit);
        bool exists;
        {
            portable::UniqueFd fd;
            DWORD rc = files.Open(path, portable::OpenMode::Read, fd);
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                return Result(rc);
            exists = rc == ERROR_SUCCESS;
            win::LineReader reader(exists ? portable::FdSource(fd.get()) : SourceOf({}));
            if (!streamed.Plan(reader))
                return Result(ERROR_READ_FAULT);
        }
        if (!streamed.Changes() && (exists || !key || !value))
            return Result(ERROR_SUCCESS); // nothing to change or to delete
        DWORD rc = portable::ReplaceFileStreamed(files, path, [&](const ByteSink& sink) {
            portable::UniqueFd fd;
            if (exists && files.Open(path, portable::OpenMode::Read, fd) != ERROR_SUCCESS)
                return false;
            win::LineReader reader(exists ? portable::FdSource(fd.get()) : SourceOf({}));
            return streamed.Apply(reader, sink);
        });
        if (rc != ERROR_SUCCESS)
            return Result(rc);
        files.machine().Journal(JournalEntry(path, section, key, value));
        return Result(ERROR_SUCCESS);
    });
}

} // namespace win
