// lz32 on the portable machine, with kernel32's OpenFile, whose file handles it shares:
// OpenFile opens through the machine's file system; LZInit recognises an SZDD source by its
// header and gives it an LZ handle (0x400 on, as Windows hands them out), a plain file
// keeps its own handle (below 0x400); LZOpenFileA is the two in one; LZCopy expands with
// the project's decoder or copies a plain source byte for byte. Results follow lzexpand:
// handles >= 0, LZERROR_* codes below 0, LZCopy's count of bytes written.
// OF_DELETE deletes the file as OpenFile does. Left out: LZRead, seeking a packed file
// anywhere but its start (LZSeek answers its expanded length), the OF_EXIST/OF_PROMPT styles, and
// the lookup of the packed name ("FILE.EX_") when the expanded name is missing.
#include "platform/lz32.h"

#include "platform/kernel32.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/szdd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <unistd.h>

namespace win {
namespace {

using portable::szdd::Format;

struct LzFile {
    portable::UniqueFd fd;
    Format format = Format::Plain;
    std::uint32_t expandedLength = 0; // of a packed file, as its header records it
    LONG position = 0;                // of a packed file: 0 or its expanded length
};

constexpr INT kFirstLzHandle = 0x400; // Windows hands out LZ handles from 0x400 on

struct LzTable {
    std::map<INT, LzFile> open;
    INT nextLz = kFirstLzHandle;
    // A plain file's handle is the lowest free one below the LZ handles.
    INT Add(LzFile file, bool packed) {
        INT handle = packed ? nextLz++ : 1;
        while (!packed && open.count(handle))
            ++handle;
        if (!packed && handle >= kFirstLzHandle)
            return LZERROR_GLOBALLOC;
        open.emplace(handle, std::move(file));
        return handle;
    }
};

LzTable& Table() {
    static LzTable table;
    return table;
}

LzFile* Find(INT handle) {
    auto it = Table().open.find(handle);
    return it == Table().open.end() ? nullptr : &it->second;
}

portable::szdd::Result CopyPlain(int from, int to) {
    portable::szdd::FdSource source(from);
    portable::szdd::FdSink sink(to);
    std::vector<std::uint8_t> buffer(1 << 20);
    portable::szdd::Result result;
    for (;;) {
        long n = source.Read(buffer.data(), buffer.size());
        if (n < 0) {
            result.status = portable::szdd::Status::ReadError;
            return result;
        }
        if (n == 0)
            return result;
        if (!sink.Write(buffer.data(), static_cast<size_t>(n))) {
            result.status = portable::szdd::Status::WriteError;
            return result;
        }
        result.written += static_cast<std::uint64_t>(n);
    }
}

// Like OpenFile: the record names the full path the name resolved to and whether it lies
// on a fixed disk.
void FillRecord(LPOFSTRUCT record, LPCSTR name, DWORD error) {
    if (!record)
        return;
    std::string full = name;
    bool fixed = false;
    auto& files = portable::CurrentFileSystem();
    portable::WinPath parsed;
    if (files.Parse(name, parsed) == ERROR_SUCCESS) {
        full = parsed.ToString();
        fixed = files.DriveType(std::string{parsed.drive, ':', '\\'}) == DRIVE_FIXED;
    }
    record->cBytes = sizeof(OFSTRUCT);
    record->fFixedDisk = fixed;
    record->nErrCode = static_cast<WORD>(error);
    std::strncpy(record->szPathName, full.c_str(), OFS_MAXPATHNAME - 1);
    record->szPathName[OFS_MAXPATHNAME - 1] = '\0';
}

// OF_DELETE: TRUE once the file is gone, as OpenFile answers; no handle is opened.
INT Delete(LPCSTR fileName, LPOFSTRUCT record) {
    DWORD rc = DeleteFileA(fileName) ? ERROR_SUCCESS : GetLastError();
    FillRecord(record, fileName, rc);
    SetLastError(rc);
    return rc == ERROR_SUCCESS ? TRUE : LZERROR_BADINHANDLE;
}

} // namespace

namespace {

// OpenFile's part: the file opened as asked; its handle or an LZERROR / HFILE_ERROR.
INT Open(LPCSTR fileName, LPOFSTRUCT record, WORD style, INT failure) {
    if (!fileName)
        return failure;
    if (style & OF_DELETE)
        return Delete(fileName, record) == TRUE ? TRUE : failure;
    // As OpenFile: OF_CREATE makes or empties the file for reading and writing; otherwise
    // the access bits choose.
    using Disposition = portable::OpenRequest::Disposition;
    portable::OpenRequest request;
    if (style & OF_CREATE) {
        request = {true, true, Disposition::CreateAlways};
    } else if (style & OF_READWRITE) {
        request = {true, true, Disposition::OpenExisting};
    } else if (style & OF_WRITE) {
        request = {false, true, Disposition::OpenExisting};
    }
    LzFile file;
    DWORD rc = portable::CurrentFileSystem().Open(fileName, request, file.fd);
    FillRecord(record, fileName, rc);
    SetLastError(rc);
    if (rc != ERROR_SUCCESS)
        return failure;
    INT handle = Table().Add(std::move(file), false);
    return handle < 0 ? failure : handle;
}

// LZInit's part: a plain file keeps its handle; an SZDD file gets an LZ handle instead.
INT Init(INT handle) {
    auto it = Table().open.find(handle);
    if (it == Table().open.end() || it->first >= kFirstLzHandle)
        return LZERROR_BADINHANDLE;
    int fd = it->second.fd.get();
    std::uint8_t head[portable::szdd::kHeaderSize];
    ssize_t got = ::pread(fd, head, sizeof head, 0);
    auto header = portable::szdd::ReadHeader({head, got > 0 ? static_cast<size_t>(got) : 0});
    if (header.format == Format::UnknownAlgorithm)
        return LZERROR_UNKNOWNALG;
    if (header.format == Format::Plain) {
        ::lseek(fd, 0, SEEK_SET);
        return handle;
    }
    LzFile packed;
    packed.fd = std::move(it->second.fd);
    packed.format = Format::Compressed;
    packed.expandedLength = header.expandedLength;
    ::lseek(packed.fd.get(), portable::szdd::kHeaderSize, SEEK_SET);
    Table().open.erase(it);
    return Table().Add(std::move(packed), true);
}

} // namespace

HFILE OpenFile(LPCSTR fileName, LPOFSTRUCT record, UINT style) {
    return portable::Guarded<HFILE>(
        HFILE_ERROR, [&] { return Open(fileName, record, static_cast<WORD>(style), HFILE_ERROR); });
}

INT LZInit(INT handle) {
    return portable::Guarded<INT>(LZERROR_GLOBALLOC, [&] { return Init(handle); });
}

INT LZOpenFileA(LPSTR fileName, LPOFSTRUCT record, WORD style) {
    return portable::Guarded<INT>(LZERROR_BADINHANDLE, [&]() -> INT {
        INT handle = Open(fileName, record, style, LZERROR_BADINHANDLE);
        if (handle < 0 || (style & OF_DELETE))
            return handle;
        // Only a file opened just for reading is looked at as packed.
        if (style & (OF_CREATE | OF_READWRITE | OF_WRITE))
            return handle;
        INT lz = Init(handle);
        if (lz < 0)
            Table().open.erase(handle);
        return lz;
    });
}

LONG LZSeek(INT handle, LONG offset, INT origin) {
    return portable::Guarded<LONG>(LZERROR_BADINHANDLE, [&]() -> LONG {
        LzFile* file = Find(handle);
        if (!file)
            return LZERROR_BADINHANDLE;
        if (file->format != Format::Compressed) {
            off_t at = ::lseek(file->fd.get(), offset, origin);
            return at < 0 ? LZERROR_BADVALUE : static_cast<LONG>(at);
        }
        LONG length = static_cast<LONG>(
            std::min<std::uint32_t>(file->expandedLength, std::numeric_limits<LONG>::max()));
        LONG base = origin == 0 ? 0 : origin == 1 ? file->position : length;
        LONG wanted = base + offset;
        if (origin < 0 || origin > 2 || (wanted != 0 && wanted != length))
            return LZERROR_BADVALUE; // only the start and the end of a packed file
        file->position = wanted;
        return wanted;
    });
}

LONG LZCopy(INT source, INT dest) {
    return portable::Guarded<LONG>(LZERROR_WRITE, [&]() -> LONG {
        LzFile* from = Find(source);
        if (!from)
            return LZERROR_BADINHANDLE;
        LzFile* to = Find(dest);
        if (!to)
            return LZERROR_BADOUTHANDLE;
        portable::szdd::Result result;
        if (from->format == Format::Compressed && from->position != 0)
            return LZERROR_BADVALUE;
        if (from->format == Format::Compressed) {
            portable::szdd::FdSource input(from->fd.get());
            portable::szdd::FdSink output(to->fd.get());
            result = portable::szdd::ExpandStream(input, output);
        } else {
            result = CopyPlain(from->fd.get(), to->fd.get());
        }
        // The caller's message names the host's reason, as GetLastError gives it.
        if (result.status == portable::szdd::Status::ReadError) {
            SetLastError(ERROR_READ_FAULT);
            return LZERROR_READ;
        }
        if (result.status == portable::szdd::Status::WriteError) {
            SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
            return LZERROR_WRITE;
        }
        SetLastError(ERROR_SUCCESS);
        return static_cast<LONG>(
            std::min<std::uint64_t>(result.written, std::numeric_limits<LONG>::max()));
    });
}

void LZClose(INT handle) {
    portable::Guarded([&] { Table().open.erase(handle); });
}

} // namespace win
