// FileStreams: numbered output streams over kernel32 files.
#include "system/file_streams.h"

#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"

#include <map>
#include <string>

namespace FileStreams {
namespace {

constexpr int kFirstNumber = 1;
constexpr int kLastNumber = 511;

std::map<int, HANDLE>& Open() {
    static std::map<int, HANDLE> streams;
    return streams;
}

void CheckNumber(int number) {
    if (number < kFirstNumber || number > kLastNumber)
        forms::Raise(forms::kBadFileNameOrNumber);
}

int OpenError(DWORD code) {
    switch (code) {
    case ERROR_PATH_NOT_FOUND:
        return forms::kPathNotFound;
    case ERROR_NOT_READY:
        return forms::kDiskNotReady;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return forms::kBadFileName;
    default:
        return forms::kPathFileAccessError;
    }
}

} // namespace

void OpenForOutput(int number, std::string_view path) {
    CheckNumber(number);
    if (Open().count(number))
        forms::Raise(forms::kFileAlreadyOpen);
    std::string ansi = win::ToAnsi(path);
    HANDLE file = win::CreateFileA(ansi.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        forms::Raise(OpenError(win::GetLastError()));
    Open()[number] = file;
}

void PrintLine(int number, std::string_view text) {
    CheckNumber(number);
    auto it = Open().find(number);
    if (it == Open().end())
        forms::Raise(forms::kBadFileNameOrNumber);
    std::string bytes = win::ToAnsi(text) + "\r\n";
    DWORD written = 0;
    if (!win::WriteFile(it->second, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                        nullptr))
        forms::Raise(win::GetLastError() == ERROR_DISK_FULL ? forms::kDiskFull
                                                            : forms::kDeviceIoError);
}

void Close(int number) {
    auto it = Open().find(number);
    if (it == Open().end())
        return;
    win::CloseHandle(it->second);
    Open().erase(it);
}

bool IsOpen(int number) {
    return Open().count(number) > 0;
}

} // namespace FileStreams
