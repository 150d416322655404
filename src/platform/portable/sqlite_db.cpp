#include "platform/portable/sqlite_db.h"

#include "platform/portable/wal_write_buffer.h"

#include <memory>
#include <sqlite3.h>

namespace portable {
namespace {

[[noreturn]] void Fail(sqlite3* db, std::string_view what) {
    throw StoreError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

} // namespace

Statement::Statement(Database& owner, sqlite3_stmt* stmt)
    : owner_(owner), db_(owner.handle()), stmt_(stmt) {}

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
    if (!sqlite3_stmt_busy(stmt_))
        owner_.BeforeStatement(stmt_);
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        sqlite3_reset(stmt_); // ends an implicit transaction at once
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

std::string_view Statement::BlobView(int column) const {
    auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    auto size = static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
    return data ? std::string_view(data, size) : std::string_view();
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Database::Database(const std::filesystem::path& file, bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &db_, flags, BufferedWalVfs()) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open " + file.string() + ": " + message);
    }
    sqlite3_busy_timeout(db_, 30000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
    Exec("PRAGMA foreign_keys=ON");
    // A first read opens the log and maps its index (a new store opens them no earlier).
    Exec("SELECT 1 FROM sqlite_master LIMIT 1");
    gathering_ = LinkWalBuffer(db_);
    watch_ = std::make_unique<WalWatch>(db_);
    checkpointer_ = std::make_unique<Checkpointer>(db_, file);
}

Database::~Database() {
    LetGo();
    checkpointer_.reset(); // before the close, which checkpoints what is left
    for (sqlite3_stmt* stmt : controls_)
        sqlite3_finalize(stmt);
    cache_.clear();
    watch_.reset();
    sqlite3_close(db_);
}

bool Database::InWriteTransaction() const {
    return !reading_ && sqlite3_get_autocommit(db_) == 0;
}

void Database::LetGo() {
    if (!reading_)
        return;
    reading_ = false;
    // A read-only transaction always commits; statements still stepping keep their own
    // snapshot until they are reset.
    if (Run(Control::Commit) != SQLITE_DONE)
        Run(Control::Rollback);
}

int Database::Run(Control control) {
    static constexpr const char* kText[] = {"BEGIN", "BEGIN IMMEDIATE", "COMMIT", "ROLLBACK"};
    auto index = static_cast<size_t>(control);
    sqlite3_stmt*& stmt = controls_[index];
    if (!stmt && sqlite3_prepare_v2(db_, kText[index], -1, &stmt, nullptr) != SQLITE_OK)
        return sqlite3_errcode(db_);
    int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc;
}

void Database::BeginWrite() {
    LetGo();
    if (Run(Control::BeginImmediate) != SQLITE_DONE)
        Fail(db_, "BEGIN IMMEDIATE");
}

void Database::CommitWrite() {
    if (Run(Control::Commit) != SQLITE_DONE)
        Fail(db_, "COMMIT");
}

void Database::RollbackWrite() {
    Run(Control::Rollback);
}

void Database::BeforeStatement(sqlite3_stmt* stmt) {
    if (!watch_ || InWriteTransaction())
        return; // still opening, or inside a write transaction
    if (!sqlite3_stmt_readonly(stmt)) {
        LetGo(); // a write outside a Transaction commits on its own, on the newest data
        return;
    }
    // The copy of the WAL index header is taken before the snapshot is (at the statement's
    // first read), so a commit in between only renews the snapshot once too often.
    bool changed = watch_->Changed();
    if (reading_ && !changed && sqlite3_get_autocommit(db_) == 0)
        return;
    LetGo();
    if (!watch_->Watching())
        return; // without the watch there is no telling when to renew: one per statement
    if (Run(Control::Begin) == SQLITE_DONE)
        reading_ = true;
}

void Database::Exec(std::string_view sql) {
    if (!InWriteTransaction())
        LetGo();
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
    slot = std::make_unique<Statement>(*this, stmt);
    return *slot;
}

std::int64_t Database::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Database::Changes() const {
    return sqlite3_changes(db_);
}

Transaction::Transaction(Database& db) : db_(db) {
    if (db_.InWriteTransaction())
        return; // already inside a transaction: join it
    db_.BeginWrite();
    owner_ = true;
}

Transaction::~Transaction() {
    if (owner_ && !done_)
        db_.RollbackWrite();
}

void Transaction::Commit() {
    if (owner_ && !done_)
        db_.CommitWrite();
    done_ = true;
}

} // namespace portable
