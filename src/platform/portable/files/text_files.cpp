#include "platform/portable/files/text_files.h"

#include "platform/portable/files/file_system.h"

#include <cerrno>
#include <unistd.h>

namespace portable {
namespace {

// "C:\WINDOWS\WININIT.INI" -> "C:\WINDOWS\WININIT.$$$"
std::string SiblingFor(std::string_view path) {
    size_t slash = path.find_last_of("\\/");
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string(path) + ".$$$";
    return std::string(path.substr(0, dot)) + ".$$$";
}

DWORD WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return ERROR_SUCCESS;
}

} // namespace

win::ByteSource FdSource(int fd) {
    return [fd](char* buffer, size_t size) -> std::ptrdiff_t {
        for (;;) {
            ssize_t n = ::read(fd, buffer, size);
            if (n >= 0 || errno != EINTR)
                return n;
        }
    };
}

DWORD ReplaceFileStreamed(FileSystem& files, std::string_view path,
                          const std::function<bool(const win::ByteSink&)>& write) {
    std::string sibling = SiblingFor(path);
    DWORD rc;
    {
        UniqueFd fd;
        using D = OpenRequest::Disposition;
        if (rc = files.Open(sibling, OpenRequest{false, true, D::CreateAlways, true}, fd);
            rc != ERROR_SUCCESS)
            return rc;
        DWORD writeRc = ERROR_SUCCESS;
        win::BufferedSink sink([&](std::string_view bytes) {
            writeRc = WriteAll(fd.get(), bytes);
            return writeRc == ERROR_SUCCESS;
        });
        bool ok = write(sink.AsSink()) && sink.Flush();
        rc = ok ? ERROR_SUCCESS : writeRc != ERROR_SUCCESS ? writeRc : ERROR_READ_FAULT;
        if (rc == ERROR_SUCCESS && ::fsync(fd.get()) != 0)
            rc = ERROR_WRITE_FAULT;
    }
    if (rc == ERROR_SUCCESS)
        rc = files.Move(sibling, path, true);
    if (rc != ERROR_SUCCESS)
        files.DeleteFile(sibling); // the old file stays as it was
    return rc;
}

DWORD ReplaceWholeFile(FileSystem& files, std::string_view path, std::string_view bytes) {
    return ReplaceFileStreamed(files, path, [&](const win::ByteSink& sink) { return sink(bytes); });
}

} // namespace portable
