// lz32 on the portable machine: LZOpenFileA opens through the machine's file system,
// recognises SZDD sources by their header, and LZCopy expands them with the project's
// decoder or copies plain sources byte for byte. Results follow lzexpand: handles >= 0,
// LZERROR_* codes below 0, LZCopy's count of bytes written.
// OF_DELETE deletes the file as OpenFile does. Left out: LZRead/LZSeek, the OF_EXIST and
// OF_PROMPT styles, and the lookup of the packed name ("FILE.EX_") when the expanded name
// is missing.
#include "platform/lz32.h"

#include "platform/kernel32.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/file_system.h"
#include "platform/portable/szdd.h"

#include <algorithm>
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
};

struct LzTable {
    std::map<INT, LzFile> open;
    INT next = 0x400; // Windows hands out LZ handles from 0x400 on
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

INT LZOpenFileA(LPSTR fileName, LPOFSTRUCT record, WORD style) {
    return portable::Guarded<INT>(LZERROR_BADINHANDLE, [&]() -> INT {
        if (!fileName)
            return LZERROR_BADINHANDLE;
        if (style & OF_DELETE)
            return Delete(fileName, record);
        // As OpenFile: OF_CREATE makes or empties the file for reading and writing; otherwise
        // the access bits choose. Only a file opened just for reading is looked at as packed.
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
            return LZERROR_BADINHANDLE;

        if (!request.write) {
            std::uint8_t head[portable::szdd::kHeaderSize];
            ssize_t got = ::read(file.fd.get(), head, sizeof head);
            auto header =
                portable::szdd::ReadHeader({head, got > 0 ? static_cast<size_t>(got) : 0});
            if (header.format == Format::UnknownAlgorithm)
                return LZERROR_UNKNOWNALG;
            file.format = header.format;
            if (file.format == Format::Plain)
                ::lseek(file.fd.get(), 0, SEEK_SET);
        }
        INT handle = Table().next++;
        Table().open.emplace(handle, std::move(file));
        return handle;
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
        if (from->format == Format::Compressed) {
            portable::szdd::FdSource input(from->fd.get());
            portable::szdd::FdSink output(to->fd.get());
            result = portable::szdd::ExpandStream(input, output);
        } else {
            result = CopyPlain(from->fd.get(), to->fd.get());
        }
        if (result.status == portable::szdd::Status::ReadError)
            return LZERROR_READ;
        if (result.status == portable::szdd::Status::WriteError)
            return LZERROR_WRITE;
        return static_cast<LONG>(
            std::min<std::uint64_t>(result.written, std::numeric_limits<LONG>::max()));
    });
}

void LZClose(INT handle) {
    portable::Guarded([&] { Table().open.erase(handle); });
}

} // namespace win
