#include "platform/portable/checkpointer.h"

#include "platform/portable/wal_write_buffer.h"

#include <pthread.h>
#include <sqlite3.h>

namespace portable {

Checkpointer::Checkpointer(sqlite3* writer, std::filesystem::path file)
    : writer_(writer), file_(std::move(file)), thread_([this] { Run(); }) {
    sqlite3_wal_hook(writer_, &Checkpointer::OnCommit, this);
}

Checkpointer::~Checkpointer() {
    sqlite3_wal_hook(writer_, nullptr, nullptr);
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

int Checkpointer::Completed() {
    std::lock_guard guard(lock_);
    return completed_;
}

int Checkpointer::OnCommit(void* self, sqlite3*, const char*, int pages) {
    static_cast<Checkpointer*>(self)->Commit(pages);
    return SQLITE_OK;
}

void Checkpointer::Commit(int pages) {
    if (pages < kThreshold)
        return;            // the common case, without a lock
    if (pages >= kLimit) { // the thread cannot keep up (slow syncs): copy here, as SQLite would
        sqlite3_wal_checkpoint_v2(writer_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        return;
    }
    std::unique_lock guard(lock_);
    if (caughtUp_) {
        caughtUp_ = false;
        nextAt_ = pages + kThreshold; // should the log not start afresh after all
        guard.unlock();
        sqlite3_wal_checkpoint_v2(writer_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        return;
    }
    if (pages < nextAt_ || due_ || running_)
        return;
    due_ = true;
    nextAt_ = pages + kThreshold; // a reader may keep the log from being copied for long
    guard.unlock();
    wake_.notify_one();
}

sqlite3* Checkpointer::Open() {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        BufferedWalVfs()) != SQLITE_OK) {
        sqlite3_close(db); // the next pass tries again
        return nullptr;
    }
    // A connection checkpoints only a log it has opened, which its first read does.
    sqlite3_exec(db, "SELECT 1 FROM sqlite_master LIMIT 1", nullptr, nullptr, nullptr);
    return db;
}

bool Checkpointer::CopyLog(sqlite3* db) {
    int leftBefore = -1;
    int copiedBefore = -1;
    while (true) {
        int log = 0;
        int copied = 0;
        if (sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_PASSIVE, &log, &copied) !=
            SQLITE_OK)
            return false;
        int left = log - copied;
        if (left <= kTail)
            return true;
        if (copied <= copiedBefore)
            return false; // held back by a reader (or the log started afresh meanwhile)
        // A writer that commits faster than a pass (and its syncs) can follow would keep the
        // log from ever starting afresh: it gets the rest once passes stop gaining on it.
        if (leftBefore >= 0 && left > leftBefore / 2)
            return true;
        leftBefore = left;
        copiedBefore = copied;
    }
}

void Checkpointer::Run() {
    pthread_setname_np(pthread_self(), "checkpointer"); // for ps, top and profilers
    sqlite3* db = nullptr;
    std::unique_lock guard(lock_);
    while (true) {
        wake_.wait(guard, [this] { return due_ || stop_; });
        if (stop_)
            break;
        due_ = false;
        running_ = true;
        guard.unlock();
        if (!db)
            db = Open();
        bool caughtUp = db && CopyLog(db);
        guard.lock();
        running_ = false;
        caughtUp_ = caughtUp;
        ++completed_;
    }
    guard.unlock();
    sqlite3_close(db);
}

} // namespace portable
