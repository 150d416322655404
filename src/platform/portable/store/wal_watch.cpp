#include "platform/portable/store/wal_watch.h"

#include <atomic>
#include <cstring>
#include <sqlite3.h>
#include <string_view>

namespace portable {
namespace {

constexpr int kRegionSize = 32768;        // the WAL index's unit of mapping
constexpr std::size_t kCounterOffset = 8; // iChange, native byte order

// One copy of the header, read byte by byte from memory other processes write.
void ReadCopy(const volatile std::uint8_t* at, std::uint8_t* out, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        out[i] = at[i];
}

bool OnUnixVfs(sqlite3* connection) {
    sqlite3_vfs* vfs = nullptr;
    if (sqlite3_file_control(connection, "main", SQLITE_FCNTL_VFS_POINTER, &vfs) != SQLITE_OK ||
        !vfs || !vfs->zName)
        return false;
    return std::string_view(vfs->zName).starts_with("unix");
}

} // namespace

WalWatch::WalWatch(sqlite3* connection) {
    if (!OnUnixVfs(connection))
        return;
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods || file->pMethods->iVersion < 2 || !file->pMethods->xShmMap)
        return;
    volatile void* region = nullptr;
    // Region 0 as the connection has it mapped already (not extended, not created anew).
    if (file->pMethods->xShmMap(file, 0, kRegionSize, 0, &region) == SQLITE_OK && region)
        header_ = static_cast<const volatile std::uint8_t*>(region);
}

// SQLite writes the second copy first and the first copy last; a reader that finds both
// equal has a header that is not being written (the same check SQLite makes).
bool WalWatch::Read(Header& out) {
    if (!header_)
        return false;
    Header second;
    std::atomic_thread_fence(std::memory_order_acquire);
    ReadCopy(header_, out.data(), out.size());
    std::atomic_thread_fence(std::memory_order_acquire);
    ReadCopy(header_ + out.size(), second.data(), second.size());
    return out == second;
}

bool WalWatch::Changed() {
    Header now;
    if (!Read(now)) {
        haveLast_ = false;
        return true;
    }
    bool same = haveLast_ && now == last_;
    last_ = now;
    haveLast_ = true;
    return !same;
}

std::optional<std::uint32_t> WalWatch::Counter() {
    Header now;
    if (!Read(now))
        return std::nullopt;
    std::uint32_t counter;
    std::memcpy(&counter, now.data() + kCounterOffset, sizeof counter);
    return counter;
}

bool WalWatch::AdoptAt(std::uint32_t counter) {
    Header now;
    if (!Read(now))
        return false;
    std::uint32_t found;
    std::memcpy(&found, now.data() + kCounterOffset, sizeof found);
    if (found != counter)
        return false;
    last_ = now;
    haveLast_ = true;
    return true;
}

} // namespace portable
