#include "platform/portable/wal_write_buffer.h"

#include <cstring>
#include <mutex>
#include <sqlite3.h>
#include <string>

namespace portable {
namespace {

constexpr char kName[] = "zepsetup-wal";
// The unix VFS writes at most 128 KiB - 1 bytes in one call (more is cut short and taken for
// a full disk); a page is at most 64 KiB, so 64 KiB gathered plus one frame stays below.
constexpr size_t kMaxGathered = 64 * 1024;

// What a buffered log has gathered: bytes for one contiguous range of the file.
struct Gathered {
    std::string bytes;
    sqlite3_int64 offset = 0;
    bool commitFrame = false; // the last header gathered is that of a commit frame
};

constexpr int kWalHeaderSize = 32;
constexpr int kFrameHeaderSize = 24;

// A frame header names the database's size in pages (big-endian, bytes 4-7) on the frame
// that commits, and zero on every other frame.
bool IsCommitFrameHeader(const void* data, int amount, sqlite3_int64 offset) {
    if (amount != kFrameHeaderSize || offset < kWalHeaderSize)
        return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    return (bytes[4] | bytes[5] | bytes[6] | bytes[7]) != 0;
}

struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real; // the underlying file, in the same allocation
    ShimFile* partner;  // database file <-> its log, once linked
    Gathered* gathered; // a linked log only
};

int Flush(ShimFile* file) {
    Gathered* g = file->gathered;
    if (!g || g->bytes.empty())
        return SQLITE_OK;
    int rc = file->real->pMethods->xWrite(file->real, g->bytes.data(),
                                          static_cast<int>(g->bytes.size()), g->offset);
    g->bytes.clear();
    return rc;
}

// The log linked to a database file, flushed before anything that may publish its frames.
int FlushPartnerLog(ShimFile* db) {
    return db->partner ? Flush(db->partner) : SQLITE_OK;
}

ShimFile* Shim(sqlite3_file* file) {
    return reinterpret_cast<ShimFile*>(file);
}

// Ends a link: the log writes what it gathered and goes straight through from then on.
int Unlink(ShimFile* file) {
    ShimFile* other = file->partner;
    int rc = Flush(file);
    if (other) {
        int flushed = Flush(other);
        rc = rc != SQLITE_OK ? rc : flushed;
        delete other->gathered;
        other->gathered = nullptr;
        other->partner = nullptr;
    }
    delete file->gathered;
    file->gathered = nullptr;
    file->partner = nullptr;
    return rc;
}

int Close(sqlite3_file* f) {
    ShimFile* file = Shim(f);
    int flushed = Unlink(file);
    int rc = file->real->pMethods ? file->real->pMethods->xClose(file->real) : SQLITE_OK;
    return flushed != SQLITE_OK ? flushed : rc;
}

int Read(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset) {
    ShimFile* file = Shim(f);
    if (int rc = Flush(file); rc != SQLITE_OK)
        return rc;
    return file->real->pMethods->xRead(file->real, out, amount, offset);
}

int Write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    ShimFile* file = Shim(f);
    Gathered* g = file->gathered;
    if (!g)
        return file->real->pMethods->xWrite(file->real, data, amount, offset);
    bool follows =
        !g->bytes.empty() && offset == g->offset + static_cast<sqlite3_int64>(g->bytes.size());
    if (!follows || g->bytes.size() >= kMaxGathered) {
        if (int rc = Flush(file); rc != SQLITE_OK)
            return rc;
        g->offset = offset;
    }
    g->bytes.append(static_cast<const char*>(data), static_cast<size_t>(amount));
    if (IsCommitFrameHeader(data, amount, offset)) {
        g->commitFrame = true;
        return SQLITE_OK;
    }
    if (!g->commitFrame)
        return SQLITE_OK;
    // The commit frame's page is the transaction's last write: it goes out now, so that a
    // failure reaches SQLite while it can still abandon the commit.
    g->commitFrame = false;
    return Flush(file);
}

int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    ShimFile* file = Shim(f);
    if (int rc = Flush(file); rc != SQLITE_OK)
        return rc;
    return file->real->pMethods->xTruncate(file->real, size);
}

int Sync(sqlite3_file* f, int flags) {
    ShimFile* file = Shim(f);
    if (int rc = Flush(file); rc != SQLITE_OK)
        return rc;
    return file->real->pMethods->xSync(file->real, flags);
}

int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    ShimFile* file = Shim(f);
    if (int rc = Flush(file); rc != SQLITE_OK)
        return rc;
    return file->real->pMethods->xFileSize(file->real, size);
}

int Lock(sqlite3_file* f, int level) {
    return Shim(f)->real->pMethods->xLock(Shim(f)->real, level);
}

int Unlock(sqlite3_file* f, int level) {
    return Shim(f)->real->pMethods->xUnlock(Shim(f)->real, level);
}

int CheckReservedLock(sqlite3_file* f, int* out) {
    return Shim(f)->real->pMethods->xCheckReservedLock(Shim(f)->real, out);
}

int FileControl(sqlite3_file* f, int op, void* arg) {
    ShimFile* file = Shim(f);
    if (int rc = Flush(file); rc != SQLITE_OK)
        return rc;
    return file->real->pMethods->xFileControl(file->real, op, arg);
}

int SectorSize(sqlite3_file* f) {
    return Shim(f)->real->pMethods->xSectorSize(Shim(f)->real);
}

int DeviceCharacteristics(sqlite3_file* f) {
    return Shim(f)->real->pMethods->xDeviceCharacteristics(Shim(f)->real);
}

int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return Shim(f)->real->pMethods->xShmMap(Shim(f)->real, region, size, extend, out);
}

int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
    ShimFile* file = Shim(f);
    if (int rc = FlushPartnerLog(file); rc != SQLITE_OK)
        return rc;
    return file->real->pMethods->xShmLock(file->real, offset, n, flags);
}

void ShmBarrier(sqlite3_file* f) {
    ShimFile* file = Shim(f);
    // The barrier comes before the index header that publishes new frames: they must be in
    // the file by then. Should the write fail, the next read or sync reports it; the frames'
    // checksums keep a reader from taking a torn log for a good one.
    FlushPartnerLog(file);
    file->real->pMethods->xShmBarrier(file->real);
}

int ShmUnmap(sqlite3_file* f, int deleteFlag) {
    ShimFile* file = Shim(f);
    FlushPartnerLog(file);
    return file->real->pMethods->xShmUnmap(file->real, deleteFlag);
}

int Fetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    return Shim(f)->real->pMethods->xFetch(Shim(f)->real, offset, amount, out);
}

int Unfetch(sqlite3_file* f, sqlite3_int64 offset, void* page) {
    return Shim(f)->real->pMethods->xUnfetch(Shim(f)->real, offset, page);
}

const sqlite3_io_methods kMethods = {
    3,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    ShmMap,
    ShmLock,
    ShmBarrier,
    ShmUnmap,
    Fetch,
    Unfetch,
};

int Open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    ShimFile* file = Shim(f);
    std::memset(file, 0, sizeof *file);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    auto* real = static_cast<sqlite3_vfs*>(vfs->pAppData);
    int rc = real->xOpen(real, name, file->real, flags, outFlags);
    // The real file's methods are checked: only a full (version 3) file can be wrapped as one.
    if (rc != SQLITE_OK || !file->real->pMethods || file->real->pMethods->iVersion < 3) {
        if (rc == SQLITE_OK && file->real->pMethods)
            file->real->pMethods->xClose(file->real);
        file->base.pMethods = nullptr;
        return rc == SQLITE_OK ? SQLITE_CANTOPEN : rc;
    }
    file->base.pMethods = &kMethods;
    return SQLITE_OK;
}

// The VFS's other methods are the real one's, called with the real VFS.
int Delete(sqlite3_vfs* v, const char* name, int syncDir) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xDelete(r, name, syncDir);
}
int Access(sqlite3_vfs* v, const char* name, int flags, int* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xAccess(r, name, flags, out);
}
int FullPathname(sqlite3_vfs* v, const char* name, int size, char* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xFullPathname(r, name, size, out);
}
void* DlOpen(sqlite3_vfs* v, const char* name) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xDlOpen(r, name);
}
void DlError(sqlite3_vfs* v, int size, char* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    r->xDlError(r, size, out);
}
void (*DlSym(sqlite3_vfs* v, void* lib, const char* symbol))(void) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xDlSym(r, lib, symbol);
}
void DlClose(sqlite3_vfs* v, void* lib) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    r->xDlClose(r, lib);
}
int Randomness(sqlite3_vfs* v, int size, char* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xRandomness(r, size, out);
}
int SleepFor(sqlite3_vfs* v, int micros) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xSleep(r, micros);
}
int CurrentTime(sqlite3_vfs* v, double* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xCurrentTime(r, out);
}
int GetLastError(sqlite3_vfs* v, int size, char* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xGetLastError ? r->xGetLastError(r, size, out) : 0;
}
int CurrentTimeInt64(sqlite3_vfs* v, sqlite3_int64* out) {
    auto* r = static_cast<sqlite3_vfs*>(v->pAppData);
    return r->xCurrentTimeInt64(r, out);
}

sqlite3_vfs* Register() {
    sqlite3_vfs* real = sqlite3_vfs_find(nullptr); // the platform's own
    static sqlite3_vfs vfs{};
    vfs.iVersion = 2;
    vfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + real->szOsFile;
    vfs.mxPathname = real->mxPathname;
    vfs.zName = kName;
    vfs.pAppData = real;
    vfs.xOpen = Open;
    vfs.xDelete = Delete;
    vfs.xAccess = Access;
    vfs.xFullPathname = FullPathname;
    vfs.xDlOpen = DlOpen;
    vfs.xDlError = DlError;
    vfs.xDlSym = DlSym;
    vfs.xDlClose = DlClose;
    vfs.xRandomness = Randomness;
    vfs.xSleep = SleepFor;
    vfs.xCurrentTime = CurrentTime;
    vfs.xGetLastError = GetLastError;
    vfs.xCurrentTimeInt64 = CurrentTimeInt64;
    sqlite3_vfs_register(&vfs, 0);
    return &vfs;
}

} // namespace

const char* BufferedWalVfs() {
    static sqlite3_vfs* vfs = Register();
    return vfs->zName;
}

bool LinkWalBuffer(sqlite3* connection) {
    sqlite3_file* db = nullptr;
    sqlite3_file* log = nullptr;
    if (sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &db) != SQLITE_OK ||
        sqlite3_file_control(connection, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) != SQLITE_OK ||
        !db || !log || db->pMethods != &kMethods || log->pMethods != &kMethods)
        return false;
    ShimFile* dbFile = Shim(db);
    ShimFile* logFile = Shim(log);
    if (dbFile->partner == logFile)
        return true;
    dbFile->partner = logFile;
    logFile->partner = dbFile;
    if (!logFile->gathered)
        logFile->gathered = new Gathered;
    return true;
}

} // namespace portable
