// Copies a WAL database's log back into the database file, for the most part on a thread
// of its own.
//
// SQLite's own checkpoints run inside the commit that crosses the threshold, so that writer
// pays for copying every page the writers before it dirtied (and for two syncs); in a large
// store nearly every change dirties a page of its own, and the cost of a change grew with
// the store's size. Here the writing connection only notes the log's length after each
// commit (its WAL hook, which replaces automatic checkpoints), and a second connection on
// this thread copies the log with passive checkpoints, which never block anyone.
//
// The log can only start again from its beginning when it has been copied completely at
// the moment a write transaction begins, which a thread running beside a busy writer never
// sees. So once the thread is within a few pages of the end (or no longer gains on a writer
// that commits without pause), the writer copies the rest itself, at its next commit, and
// its next transaction starts the log afresh.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

struct sqlite3;

namespace portable {

class Checkpointer {
public:
    // Pages in the log after which copying starts.
    static constexpr int kThreshold = 1000;
    // Pages in the log at which the writer copies it itself, whatever the thread is doing,
    // so that the log stays bounded where syncs are slow.
    static constexpr int kLimit = 16 * kThreshold;
    // Pages the thread may leave for the writer to copy.
    static constexpr int kTail = 64;

    // Takes over checkpoints of `writer`, a connection to `file` in WAL mode.
    Checkpointer(sqlite3* writer, std::filesystem::path file);
    Checkpointer(const Checkpointer&) = delete;
    Checkpointer& operator=(const Checkpointer&) = delete;
    // Lets a running copy finish; what is left is copied by the closing connection.
    ~Checkpointer();

    // Passes the thread has finished (tests).
    int Completed();

private:
    static int OnCommit(void* self, sqlite3* db, const char* schema, int pages);
    void Commit(int pages);
    void Run();
    sqlite3* Open();
    // One pass: copies until at most kTail pages are left, until it no longer gains on the
    // writer, or until no more can be copied (a reader still uses them). True when the
    // writer is to copy the rest.
    bool CopyLog(sqlite3* db);

    sqlite3* writer_;
    std::filesystem::path file_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool due_ = false;      // a pass is asked for
    bool running_ = false;  // one is being made
    bool caughtUp_ = false; // the last pass left only the tail
    bool stop_ = false;
    int nextAt_ = kThreshold; // log length at which the next pass is asked for
    int completed_ = 0;
    std::thread thread_;
};

} // namespace portable
