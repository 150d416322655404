// Tells, without a system call or a lock, whether any connection may have committed to a
// database in WAL mode since the last look. SQLite publishes every commit (and every restart
// of the log) in the header of the WAL index, the shared memory of the database's "-shm"
// file; this reads that header through the connection's own mapping of it (the VFS's
// xShmMap) and compares it with the last copy taken.
//
// Reading that memory is a property of SQLite's unix VFS, whose index is a mapped file
// shared by every process; on any other VFS Watching() is false and Changed() always
// answers true, so callers ask SQLite every time. The file is never opened a second time:
// closing a descriptor of it would drop the POSIX locks SQLite holds on it for the whole
// process.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

struct sqlite3;

namespace portable {

class WalWatch {
public:
    // The watch lives no longer than the connection; the mapping is the connection's, which
    // must be in WAL mode and have read the database once.
    explicit WalWatch(sqlite3* connection);
    WalWatch(const WalWatch&) = delete;
    WalWatch& operator=(const WalWatch&) = delete;

    // True when the header differs from the copy taken by the previous call (or cannot be
    // read consistently, or is not mapped); the copy is renewed.
    bool Changed();
    // False when the index is not mapped (Changed() then always answers true).
    bool Watching() const { return header_ != nullptr; }

    // The header's change counter (every commit and every restart of the log adds one),
    // when the header can be read consistently.
    std::optional<std::uint32_t> Counter();
    // Takes the header as the last copy when its counter is `counter`, and says whether it
    // did: after a commit of one's own made from counter - 1 under the write lock, nobody
    // else has changed the log since.
    bool AdoptAt(std::uint32_t counter);

private:
    using Header = std::array<std::uint8_t, 48>;
    bool Read(Header& out);

    const volatile std::uint8_t* header_ = nullptr;
    Header last_{};
    bool haveLast_ = false;
};

} // namespace portable
