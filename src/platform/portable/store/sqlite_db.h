// A small RAII layer over SQLite for the machine's store: one connection in WAL mode
// (synchronous=NORMAL, SQLite's own checkpoints), prepared statements cached by text, and
// transactions that roll back unless committed.
//
// Reads outside a write transaction share one read transaction that stays open from
// statement to statement for as long as no connection commits. Beginning and ending a
// read transaction takes four lock and two stat calls, several times the cost of a lookup.
// Every statement still sees every commit made before it starts: the connection looks at
// the WAL index (WalWatch, no system call) before each statement; after a commit anywhere
// the statement runs in a transaction of its own, and the next one in a quiet store keeps
// its transaction again. So a reader keeps no snapshot while others commit one change after
// another (a kept snapshot holds back the log's restart). LetGo() ends it at once; a
// process calls it before it waits, so that a kept snapshot does not hold back other
// processes' checkpoints.
#pragma once

#include "platform/portable/store/wal_watch.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace portable {

class StoreError : public std::runtime_error {
public:
    explicit StoreError(const std::string& what, bool readOnly = false)
        : std::runtime_error(what), readOnly_(readOnly) {}
    // The change was refused because the store cannot be written at all.
    bool ReadOnly() const { return readOnly_; }

private:
    bool readOnly_;
};

// For tests of what a failing store leaves behind: the nth write from now (a BEGIN
// IMMEDIATE, a statement that changes the store, or a COMMIT) fails with a StoreError; 0
// turns it off. Returns how many writes were counted since the previous call. Only code can
// set it, so no machine folder or environment can make a store fail.
int FailStoreWriteAt(int n);

class Database;

class Statement {
public:
    Statement(Database& owner, sqlite3_stmt* stmt);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    Statement& Bind(int index, std::string_view text);
    Statement& BindBlob(int index, const void* data, size_t size);
    Statement& Bind(int index, std::int64_t value);
    Statement& BindNull(int index);

    // Advances to the next row; false when there is none. Throws on error.
    bool Step();
    // Runs to completion (for statements without rows).
    void Run();
    void Reset();

    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    std::vector<std::uint8_t> Blob(int column) const;
    // The column's bytes, valid until the next step or reset.
    std::string_view BlobView(int column) const;
    bool IsNull(int column) const;

private:
    Database& owner_;
    sqlite3* db_;
    sqlite3_stmt* stmt_;
};

class Database {
public:
    enum class Access {
        Create,    // a new store in WAL mode (the file is made if missing)
        ReadWrite, // an existing store
        ReadOnly,  // an existing store in a folder this process cannot write
    };

    // Opens the database file with a busy timeout, so several processes can share one
    // machine. A read-only store reads what was last committed; every change fails with a
    // StoreError saying that the machine is read-only.
    Database(const std::filesystem::path& file, Access access);
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    void Exec(std::string_view sql);
    // A prepared statement, reset and with bindings cleared; valid until the next call
    // with the same text.
    Statement& Prepare(std::string_view sql);
    std::int64_t LastInsertId() const;
    int Changes() const;
    bool ReadOnly() const { return readOnly_; }

    // A number that changes whenever another connection may have committed since the
    // previous call (and after a commit of this one's own that it could not tell from
    // another's). Costs no system call while nobody commits.
    std::uint64_t Version();

    // True inside a transaction that may write (a Transaction, or BEGIN run through Exec);
    // false when only the kept read transaction is open.
    bool InWriteTransaction() const;
    // Ends the kept read transaction, if any.
    void LetGo();

    // The statements of a write transaction (as Transaction uses them); Begin and Commit
    // throw on failure.
    void BeginWrite();
    void CommitWrite();
    void RollbackWrite();
    // Told after each write transaction ends: committed or rolled back. One listener; it
    // must not throw (a rollback may run while an exception unwinds).
    void OnWriteEnd(std::function<void(bool committed)> listener) {
        onWriteEnd_ = std::move(listener);
    }

private:
    friend class Statement;
    enum class Control { Begin, BeginImmediate, Commit, Rollback };
    // Runs a transaction statement, prepared once: compiling one costs more than running it.
    int Run(Control control);
    // Before the first step of a statement: keeps, renews or ends the read transaction.
    void BeforeStatement(sqlite3_stmt* stmt);
    // Ends the kept read transaction and counts a new version when anyone committed since
    // the last look; true then.
    bool Observe();
    std::string JournalMode();
    [[noreturn]] void Fail(std::string_view what) const;

    sqlite3* db_ = nullptr;
    std::filesystem::path file_;
    std::unordered_map<std::string, std::unique_ptr<Statement>> cache_;
    std::unique_ptr<WalWatch> watch_;
    std::function<void(bool committed)> onWriteEnd_;
    sqlite3_stmt* controls_[4] = {};
    std::uint64_t version_ = 0;
    bool reading_ = false; // the kept read transaction is open
    bool readOnly_ = false;
};

// BEGIN IMMEDIATE on construction, ROLLBACK on destruction unless Commit() ran. Nested
// use joins the outer transaction.
class Transaction {
public:
    explicit Transaction(Database& db);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    void Commit();

private:
    Database& db_;
    bool owner_ = false;
    bool done_ = false;
};

} // namespace portable
