// kernel32 on the portable machine. Each function keeps the Win32 contract for buffer
// sizes and results: on success the count of characters written without the terminator;
// when the buffer is too small the size needed including the terminator, buffer untouched;
// 0 (or FALSE, INVALID_HANDLE_VALUE) on failure with the reason in GetLastError.
// Left out: security attributes, overlapped I/O, per-drive current folders.
#include "platform/kernel32.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/handles.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace win {
namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

portable::FileSystem& Files() {
    return portable::CurrentFileSystem();
}

// Copies text into a caller's buffer of size characters, by the Win32 rule above.
DWORD ToBuffer(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || size <= text.size())
        return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return static_cast<DWORD>(text.size());
}

DWORD Fail(DWORD code) {
    lastError = code;
    return 0;
}

BOOL Result(DWORD code) {
    lastError = code;
    return code == ERROR_SUCCESS ? TRUE : FALSE;
}

std::string Folder(std::string_view key, std::string_view fallback) {
    return ToAnsi(Files().machine().Setting(key, fallback));
}

constexpr std::uint64_t kEpochDifference = 116444736000000000ULL; // 1601 to 1970 in 100 ns

FILETIME ToFileTime(std::int64_t ns) {
    std::uint64_t ticks = static_cast<std::uint64_t>(ns / 100) + kEpochDifference;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void FillFindData(const portable::DirEntry& e, WIN32_FIND_DATAA& data) {
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = e.attributes ? e.attributes : FILE_ATTRIBUTE_NORMAL;
    data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = ToFileTime(e.modifiedNs);
    data.nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(e.size);
    std::strncpy(data.cFileName, e.longName.c_str(), MAX_PATH - 1);
    // The alias is reported only where it differs from the name itself.
    if (e.shortName != e.longName)
        std::strncpy(data.cAlternateFileName, e.shortName.c_str(), 13);
}

struct FindState : portable::KernelObject {
    std::vector<portable::DirEntry> entries;
    size_t next = 0;
};

} // namespace

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD code) {
    lastError = code;
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return portable::Guarded<UINT>(0, [&]() -> UINT {
        return ToBuffer(Folder("system_dir", "C:\\WINDOWS\\SYSTEM"), buffer, size);
    });
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return portable::Guarded<UINT>(
        0, [&]() -> UINT { return ToBuffer(Folder("windows_dir", "C:\\WINDOWS"), buffer, size); });
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    return portable::Guarded<DWORD>(0, [&]() -> DWORD {
        std::string temp = Folder("temp_dir", "C:\\WINDOWS\\TEMP\\");
        if (temp.empty() || temp.back() != '\\')
            temp += '\\';
        return ToBuffer(temp, buffer, size);
    });
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size) {
    return portable::Guarded<DWORD>(0, [&]() -> DWORD {
        if (!longPath)
            return Fail(ERROR_INVALID_PARAMETER);
        std::string out;
        if (DWORD rc = Files().ShortPath(longPath, out); rc != ERROR_SUCCESS)
            return Fail(rc);
        lastError = ERROR_SUCCESS;
        return ToBuffer(out, shortPath, size);
    });
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    return portable::Guarded<DWORD>(
        0, [&]() -> DWORD { return ToBuffer(Files().CurrentDirectory(), buffer, size); });
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!path)
            return Result(ERROR_INVALID_PARAMETER);
        return Result(Files().SetCurrentDirectory(path));
    });
}

UINT GetDriveTypeA(LPCSTR root) {
    return portable::Guarded<UINT>(DRIVE_UNKNOWN,
                                   [&]() -> UINT { return Files().DriveType(root ? root : ""); });
}

DWORD GetLogicalDriveStringsA(DWORD size, LPSTR buffer) {
    return portable::Guarded<DWORD>(0, [&]() -> DWORD {
        std::string list;
        for (const auto& drive : Files().machine().Drives()) {
            list += drive.letter;
            list += std::string_view(":\\\0", 3);
        }
        // The list ends in an extra NUL; the count excludes only that last one.
        if (!buffer || size < list.size() + 1)
            return static_cast<DWORD>(list.size() + 1);
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<DWORD>(list.size());
    });
}

BOOL CreateDirectoryA(LPCSTR path, void*) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!path)
            return Result(ERROR_PATH_NOT_FOUND);
        return Result(Files().CreateDirectory(path));
    });
}

BOOL RemoveDirectoryA(LPCSTR path) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!path)
            return Result(ERROR_PATH_NOT_FOUND);
        return Result(Files().RemoveDirectory(path));
    });
}

BOOL DeleteFileA(LPCSTR path) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!path)
            return Result(ERROR_PATH_NOT_FOUND);
        return Result(Files().DeleteFile(path));
    });
}

DWORD GetFileAttributesA(LPCSTR path) {
    return portable::Guarded<DWORD>(INVALID_FILE_ATTRIBUTES, [&]() -> DWORD {
        DWORD attributes = 0;
        DWORD rc = path ? Files().GetAttributes(path, attributes) : ERROR_PATH_NOT_FOUND;
        if (rc != ERROR_SUCCESS) {
            lastError = rc;
            return INVALID_FILE_ATTRIBUTES;
        }
        lastError = ERROR_SUCCESS;
        return attributes;
    });
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!path)
            return Result(ERROR_PATH_NOT_FOUND);
        return Result(Files().SetAttributes(path, attributes));
    });
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    return portable::Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
        if (!pattern || !data) {
            lastError = ERROR_INVALID_PARAMETER;
            return INVALID_HANDLE_VALUE;
        }
        auto state = std::make_unique<FindState>();
        if (DWORD rc = Files().Find(pattern, state->entries); rc != ERROR_SUCCESS) {
            lastError = rc;
            return INVALID_HANDLE_VALUE;
        }
        FillFindData(state->entries[state->next++], *data);
        lastError = ERROR_SUCCESS;
        return portable::AddHandle(std::move(state));
    });
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        auto* state = portable::HandleAs<FindState>(find);
        if (!state || !data)
            return Result(ERROR_INVALID_HANDLE);
        if (state->next >= state->entries.size())
            return Result(ERROR_NO_MORE_FILES);
        FillFindData(state->entries[state->next++], *data);
        return Result(ERROR_SUCCESS);
    });
}

BOOL FindClose(HANDLE find) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!portable::HandleAs<FindState>(find))
            return Result(ERROR_INVALID_HANDLE);
        portable::RemoveHandle(find);
        return Result(ERROR_SUCCESS);
    });
}

UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR name) {
    return portable::Guarded<UINT>(0, [&]() -> UINT {
        if (!folder || !prefix || !name || unique != 0)
            return Fail(ERROR_INVALID_PARAMETER);
        std::string base(folder);
        if (!base.empty() && base.back() != '\\' && base.back() != '/')
            base += '\\';
        base += std::string(prefix).substr(0, 3);
        using D = portable::OpenRequest::Disposition;
        if (base.size() + 8 >= MAX_PATH)
            return Fail(ERROR_FILENAME_EXCED_RANGE);
        portable::OpenRequest request{false, true, D::CreateNew, true};
        static unsigned calls = 0;
        unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + 7919u * ++calls;
        for (unsigned i = 0; i < 0xFFFF; ++i) {
            UINT number = (seed + i) % 0xFFFF + 1; // 0 is no number
            char hex[16];
            std::snprintf(hex, sizeof hex, "%04X.TMP", number);
            std::string path = base + hex;
            portable::UniqueFd fd;
            DWORD rc = Files().Open(path, request, fd);
            if (rc == ERROR_FILE_EXISTS)
                continue;
            if (rc != ERROR_SUCCESS)
                return Fail(rc);
            std::memcpy(name, path.c_str(), path.size() + 1);
            lastError = ERROR_SUCCESS;
            return number;
        }
        return Fail(ERROR_FILE_EXISTS);
    });
}

void OutputDebugStringA(LPCSTR text) {
    constexpr size_t kLongest = 1000;
    portable::Guarded([&] {
        if (!text)
            return;
        std::string_view line(text);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        Files().machine().Journal(FromAnsi(line.substr(0, kLongest)));
    });
}

} // namespace win
