// A small RAII layer over SQLite for the machine's store: one connection, prepared
// statements cached by text, and transactions that roll back unless committed.
#pragma once

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

class Statement {
public:
    Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
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
    bool IsNull(int column) const;

private:
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

private:
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, std::unique_ptr<Statement>> cache_;
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
