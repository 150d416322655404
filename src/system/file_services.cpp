// Setup_API: the file and path services (system, Windows and temporary folders, 8.3 paths,
// expansion).
#include "system/Setup_API.h"

#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/lz32.h"
#include "system/run_failures.h"

#include <cstring>
#include <optional>

namespace Setup_API {

std::string SysDir;

namespace {

constexpr UINT kSystemDirBuffer = 255;
constexpr UINT kWindowsDirBuffer = 145;
constexpr DWORD kTempDirBuffer = 255;
constexpr DWORD kShortPathBuffer = 512;

// The text before the first NUL of a fixed buffer, converted to UTF-8.
std::string BeforeNul(const std::string& buffer) {
    return win::FromAnsi(std::string_view(buffer.c_str()));
}

// The first n characters of a buffer of blanks the platform filled; a count of 0, or one
// that does not fit (the size the call needs), means the call failed: empty.
std::string Filled(const std::string& buffer, size_t n) {
    if (n >= buffer.size())
        return {};
    return win::FromAnsi(std::string_view(buffer).substr(0, n));
}

} // namespace

void GetSystemDir() {
    std::string buffer(kSystemDirBuffer, ' ');
    UINT n = win::GetSystemDirectoryA(buffer.data(), kSystemDirBuffer);
    SysDir = Filled(buffer, n);
}

std::string GetWindowsDir() {
    std::string buffer(kWindowsDirBuffer, '\0');
    win::GetWindowsDirectoryA(buffer.data(), kWindowsDirBuffer);
    return BeforeNul(buffer);
}

std::string GetTempDir() {
    std::string buffer(kTempDirBuffer, ' ');
    win::GetTempPathA(kTempDirBuffer, buffer.data());
    size_t nul = buffer.find('\0');
    if (nul == std::string::npos)
        forms::Raise(forms::kInvalidProcedureCall); // the platform wrote nothing
    return win::FromAnsi(std::string_view(buffer).substr(0, nul));
}

std::string AddBackslash(std::string_view path) {
    if (path.empty())
        forms::Raise(forms::kInvalidProcedureCall); // no last character to look at
    if (path.back() == '\\')
        return std::string(path);
    return std::string(path) + "\\";
}

std::string GetShortPath(std::string_view path) {
    std::string buffer(kShortPathBuffer, ' ');
    DWORD n = win::GetShortPathNameA(win::ToAnsi(path).c_str(), buffer.data(), kShortPathBuffer);
    return Filled(buffer, n);
}

namespace {

std::string ErrorText(DWORD error) {
    return "error " + std::to_string(error);
}

// A packed file is named as COMPRESS names it: its last character replaced by "_".
bool NamedPacked(std::string_view path) {
    return !path.empty() && path.back() == '_';
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The source opened for expansion: an LZ handle, or a plain file's handle when the source
// may be plain. Empty with why when it cannot be used.
std::optional<INT> OpenSource(const std::string& from, std::string& why) {
    OFSTRUCT record;
    std::memset(&record, 0, sizeof record);
    HFILE file = win::OpenFile(from.c_str(), &record, OF_READ);
    if (file == HFILE_ERROR) {
        DWORD error = win::GetLastError();
        why = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                  ? "the packed file is missing"
                  : "the packed file cannot be read (" + ErrorText(error) + ")";
        return std::nullopt;
    }
    INT source = win::LZInit(file);
    if (source < 0) {
        win::LZClose(file);
        why = "the packed file is damaged (LZ error " + std::to_string(source) + ")";
        return std::nullopt;
    }
    if (source == file && NamedPacked(from)) {
        win::LZClose(file);
        why = "the packed file is not packed (empty or damaged)";
        return std::nullopt;
    }
    return source;
}

// Expands the open source into a new temporary file beside target and puts it in target's
// place only when it holds every byte the source declares.
bool ExpandInPlace(INT source, const std::string& to, std::string& why) {
    LONG declared = win::LZSeek(source, 0, 2);
    win::LZSeek(source, 0, 0);
    char temporary[MAX_PATH] = {};
    if (!win::GetTempFileNameA(FolderOf(to).c_str(), "ZEP", 0, temporary)) {
        why = "nothing can be written in its folder (" + ErrorText(win::GetLastError()) + ")";
        return false;
    }
    OFSTRUCT record;
    std::memset(&record, 0, sizeof record);
    INT target = win::LZOpenFileA(temporary, &record, OF_CREATE | OF_WRITE);
    LONG copied = target < 0 ? LZERROR_BADOUTHANDLE : win::LZCopy(source, target);
    DWORD error = win::GetLastError();
    if (target >= 0)
        win::LZClose(target);
    if (copied == LZERROR_READ)
        why = "the packed file cannot be read";
    else if (copied < 0)
        why = "it cannot be written whole (" + ErrorText(error) + ")";
    else if (declared >= 0 && copied != declared)
        why = "the packed file is damaged: it expands to " + std::to_string(copied) + " of the " +
              std::to_string(declared) + " bytes it declares";
    else if (!win::MoveFileExA(temporary, to.c_str(), MOVEFILE_REPLACE_EXISTING))
        why = "it cannot be put in place (" + ErrorText(win::GetLastError()) + ")";
    if (why.empty())
        return true;
    win::DeleteFileA(temporary);
    return false;
}

} // namespace

bool ExpandFile(std::string_view source, std::string_view target) {
    std::string from = win::ToAnsi(source);
    std::string to = win::ToAnsi(target);
    std::string why;
    bool done = false;
    if (std::optional<INT> opened = OpenSource(from, why)) {
        done = ExpandInPlace(*opened, to, why);
        win::LZClose(*opened);
    }
    if (!done)
        RunFailures::Note("cannot install " + std::string(target) + " from " + std::string(source) +
                          ": " + why);
    return done;
}

} // namespace Setup_API
