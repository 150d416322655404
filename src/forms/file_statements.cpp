#include "forms/file_statements.h"

#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"

namespace forms {
namespace {

std::int32_t ErrorForFolderCreation(DWORD code) {
    switch (code) {
    case ERROR_NOT_READY:
        return kDeviceUnavailable;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_DRIVE:
        return kPathNotFound;
    default:
        return kPathFileAccessError; // exists, access denied, write-protected
    }
}

std::int32_t ErrorForRemoval(DWORD code) {
    switch (code) {
    case ERROR_NOT_READY:
        return kDeviceUnavailable;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
        return kPathNotFound;
    default:
        return kPathFileAccessError; // not empty, read-only, in use
    }
}

} // namespace

void MkDir(std::string_view path) {
    std::string ansi = win::ToAnsi(path);
    if (!win::CreateDirectoryA(ansi.c_str(), nullptr))
        Raise(ErrorForFolderCreation(win::GetLastError()));
}

void RmDir(std::string_view path) {
    std::string ansi = win::ToAnsi(path);
    if (!win::RemoveDirectoryA(ansi.c_str()))
        Raise(ErrorForRemoval(win::GetLastError()));
}

void Kill(std::string_view path) {
    std::string ansi = win::ToAnsi(path);
    if (win::DeleteFileA(ansi.c_str()))
        return;
    DWORD code = win::GetLastError();
    Raise(code == ERROR_FILE_NOT_FOUND ? kFileNotFound : ErrorForRemoval(code));
}

} // namespace forms
