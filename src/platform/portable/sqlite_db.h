// A small RAII layer over SQLite for the machine's store: one connection, prepared
// statements cached by text, and transactions that roll back unless committed.
//
// Reads outside a write transaction share one read transaction that stays open from
// statement to statement for as long as no other connection commits (watched in the WAL
// index, without a system call). Beginning and ending a read transaction takes half a dozen
// lock and stat calls, which would otherwise be most of the cost of a lookup. Every
// statement still sees every commit made before it starts: a commit anywhere ends the kept
// transaction before the next statement runs, and so does any write of this connection.
// LetGo() ends it at once; a process calls it before it waits, so that a kept snapshot
// does not hold back other processes' checkpoints.
#pragma once

#include "platform/portable/checkpointer.h"
#include "platform/portable/wal_watch.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
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
    using std::runtime_error::runtime_error;
};

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
    // Opens (creating if asked) the database file in WAL mode with a busy timeout, so
    // several processes can share one machine.
    Database(const std::filesystem::path& file, bool create);
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    void Exec(std::string_view sql);
    // A prepared statement, reset and with bindings cleared; valid until the next call
    // with the same text.
    Statement& Prepare(std::string_view sql);
    std::int64_t LastInsertId() const;
    int Changes() const;
    sqlite3* handle() { return db_; }
    Checkpointer& checkpointer() { return *checkpointer_; }

    // True inside a transaction that may write (a Transaction, or BEGIN run through Exec);
    // false when only the kept read transaction is open.
    bool InWriteTransaction() const;
    // Ends the kept read transaction, if any.
    void LetGo();
    // Whether reads keep their transaction (the WAL index is watched) and the log's writes
    // are gathered; both hold for every store opened in WAL mode.
    bool KeepsReads() const { return watch_ && watch_->Watching(); }
    bool GathersLogWrites() const { return gathering_; }

    // The statements of a write transaction (as Transaction uses them); Begin and Commit
    // throw on failure.
    void BeginWrite();
    void CommitWrite();
    void RollbackWrite();

private:
    friend class Statement;
    enum class Control { Begin, BeginImmediate, Commit, Rollback };
    // Runs a transaction statement, prepared once: compiling one costs more than running it.
    int Run(Control control);
    // Before the first step of a statement: keeps, renews or ends the read transaction.
    void BeforeStatement(sqlite3_stmt* stmt);

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, std::unique_ptr<Statement>> cache_;
    std::unique_ptr<WalWatch> watch_;
    std::unique_ptr<Checkpointer> checkpointer_;
    sqlite3_stmt* controls_[4] = {};
    bool reading_ = false; // the kept read transaction is open
    bool gathering_ = false;
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
