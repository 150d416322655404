#include "platform/portable/sqlite_db.h"

#include <memory>
#include <sqlite3.h>

namespace portable {
namespace {

[[noreturn]] void Fail(sqlite3* db, std::string_view what) {
    throw StoreError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

} // namespace

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::Bind(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        Fail(db_, "sqlite3_bind_text");
    return *this;
}

Statement& Statement::BindBlob(int index, const void* data, size_t size) {
    if (sqlite3_bind_blob(stmt_, index, size ? data : "", static_cast<int>(size),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        Fail(db_, "sqlite3_bind_blob");
    return *this;
}

Statement& Statement::Bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        Fail(db_, "sqlite3_bind_int64");
    return *this;
}

Statement& Statement::BindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK)
        Fail(db_, "sqlite3_bind_null");
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        sqlite3_reset(stmt_); // ends the implicit read transaction at once
        return false;
    }
    std::string sql = sqlite3_sql(stmt_) ? sqlite3_sql(stmt_) : "";
    sqlite3_reset(stmt_);
    Fail(db_, "sqlite3_step (" + sql + ")");
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void Statement::Run() {
    while (Step()) {
    }
}

std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string Statement::Text(int column) const {
    auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                : std::string();
}

std::vector<std::uint8_t> Statement::Blob(int column) const {
    auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
    int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Database::Database(const std::filesystem::path& file, bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open " + file.string() + ": " + message);
    }
    sqlite3_busy_timeout(db_, 30000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
    Exec("PRAGMA foreign_keys=ON");
}

Database::~Database() {
    cache_.clear();
    sqlite3_close(db_);
}

void Database::Exec(std::string_view sql) {
    char* error = nullptr;
    std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreError("sqlite: " + message + " (" + text + ")");
    }
}

Statement& Database::Prepare(std::string_view sql) {
    std::string key(sql);
    auto it = cache_.find(key);
    if (it != cache_.end()) {
        it->second->Reset();
        return *it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, key.c_str(), static_cast<int>(key.size()), &stmt, nullptr) !=
        SQLITE_OK)
        Fail(db_, "sqlite3_prepare (" + key + ")");
    auto& slot = cache_[key];
    slot = std::make_unique<Statement>(db_, stmt);
    return *slot;
}

std::int64_t Database::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Database::Changes() const {
    return sqlite3_changes(db_);
}

Transaction::Transaction(Database& db) : db_(db) {
    if (sqlite3_get_autocommit(db_.handle()) == 0)
        return; // already inside a transaction: join it
    db_.Exec("BEGIN IMMEDIATE");
    owner_ = true;
}

Transaction::~Transaction() {
    if (owner_ && !done_)
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    if (owner_ && !done_)
        db_.Exec("COMMIT");
    done_ = true;
}

} // namespace portable
