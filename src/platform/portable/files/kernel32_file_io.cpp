// kernel32 file streams on the portable machine: CreateFileA resolves through the
// machine's file system (aliases, read-only attribute, drive rules) and hands out a kernel
// handle; ReadFile/WriteFile are plain synchronous I/O on it.
#include "platform/kernel32.h"

#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/handles.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace win {
namespace {

struct FileObject : portable::KernelObject {
    portable::UniqueFd fd;
    bool canRead = false;
    bool canWrite = false;
};

BOOL Result(DWORD code) {
    SetLastError(code);
    return code == ERROR_SUCCESS ? TRUE : FALSE;
}

} // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD flags,
                   HANDLE) {
    return portable::Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
        using D = portable::OpenRequest::Disposition;
        portable::OpenRequest request;
        request.read = access & GENERIC_READ;
        request.write = access & GENERIC_WRITE;
        // A file made to be renamed into place: removed when the process dies first.
        request.temporary = flags & FILE_ATTRIBUTE_TEMPORARY;
        switch (disposition) {
        case CREATE_NEW:
            request.disposition = D::CreateNew;
            break;
        case CREATE_ALWAYS:
            request.disposition = D::CreateAlways;
            break;
        case OPEN_EXISTING:
            request.disposition = D::OpenExisting;
            break;
        case OPEN_ALWAYS:
            request.disposition = D::OpenAlways;
            break;
        case TRUNCATE_EXISTING:
            request.disposition = D::TruncateExisting;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        if (!path) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        auto file = std::make_unique<FileObject>();
        DWORD rc = portable::CurrentFileSystem().Open(path, request, file->fd);
        if (rc != ERROR_SUCCESS) {
            SetLastError(rc);
            return INVALID_HANDLE_VALUE;
        }
        file->canRead = request.read;
        file->canWrite = request.write;
        SetLastError(ERROR_SUCCESS);
        return portable::AddHandle(std::move(file));
    });
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        auto* file = portable::HandleAs<FileObject>(handle);
        if (read)
            *read = 0;
        if (!file)
            return Result(ERROR_INVALID_HANDLE);
        if (!file->canRead)
            return Result(ERROR_ACCESS_DENIED);
        ssize_t n;
        do {
            n = ::read(file->fd.get(), buffer, toRead);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return Result(ERROR_READ_FAULT);
        if (read)
            *read = static_cast<DWORD>(n);
        return Result(ERROR_SUCCESS);
    });
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, LPDWORD written, void*) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        auto* file = portable::HandleAs<FileObject>(handle);
        if (written)
            *written = 0;
        if (!file)
            return Result(ERROR_INVALID_HANDLE);
        if (!file->canWrite)
            return Result(ERROR_ACCESS_DENIED);
        auto* data = static_cast<const char*>(buffer);
        DWORD done = 0;
        while (done < toWrite) {
            ssize_t n = ::write(file->fd.get(), data + done, toWrite - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (written)
                    *written = done;
                return Result(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
            }
            done += static_cast<DWORD>(n);
        }
        if (written)
            *written = done;
        return Result(ERROR_SUCCESS);
    });
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
    return portable::Guarded<DWORD>(INVALID_FILE_SIZE, [&]() -> DWORD {
        auto* file = portable::HandleAs<FileObject>(handle);
        if (!file) {
            SetLastError(ERROR_INVALID_HANDLE);
            return INVALID_FILE_SIZE;
        }
        struct stat st;
        if (::fstat(file->fd.get(), &st) != 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return INVALID_FILE_SIZE;
        }
        off_t size = st.st_size;
        if (sizeHigh)
            *sizeHigh = static_cast<DWORD>(static_cast<std::uint64_t>(size) >> 32);
        SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(size);
    });
}

DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG distanceHigh, DWORD method) {
    return portable::Guarded<DWORD>(INVALID_SET_FILE_POINTER, [&]() -> DWORD {
        auto* file = portable::HandleAs<FileObject>(handle);
        if (!file) {
            SetLastError(ERROR_INVALID_HANDLE);
            return INVALID_SET_FILE_POINTER;
        }
        std::int64_t offset = distanceHigh ? (static_cast<std::int64_t>(*distanceHigh) << 32) |
                                                 static_cast<std::uint32_t>(distance)
                                           : distance;
        int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
        off_t at = ::lseek(file->fd.get(), offset, whence);
        if (at < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
        }
        if (distanceHigh)
            *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(at) >> 32);
        SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(at);
    });
}

BOOL CloseHandle(HANDLE object) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return Result(portable::RemoveHandle(object) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
    });
}

BOOL MoveFileA(LPCSTR from, LPCSTR to) {
    return MoveFileExA(from, to, 0);
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    return portable::Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!from || !to)
            return Result(ERROR_INVALID_PARAMETER);
        bool replace = flags & MOVEFILE_REPLACE_EXISTING;
        return Result(portable::CurrentFileSystem().Move(from, to, replace));
    });
}

} // namespace win
