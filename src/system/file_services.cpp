// Setup_API: the file and path services (system, Windows and temporary folders, 8.3 paths,
// expansion).
#include "system/Setup_API.h"

#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/lz32.h"

#include <cstring>

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

void ExpandFile(std::string_view source, std::string_view target) {
    std::string from = win::ToAnsi(source);
    std::string to = win::ToAnsi(target);
    OFSTRUCT sourceRecord;
    OFSTRUCT targetRecord;
    std::memset(&sourceRecord, 0, sizeof sourceRecord);
    std::memset(&targetRecord, 0, sizeof targetRecord);
    INT sourceHandle = win::LZOpenFileA(from.data(), &sourceRecord, OF_READ);
    INT targetHandle = win::LZOpenFileA(to.data(), &targetRecord, OF_CREATE | OF_WRITE);
    win::LZCopy(sourceHandle, targetHandle);
    win::LZClose(sourceHandle);
    win::LZClose(targetHandle);
}

} // namespace Setup_API
