#include "platform/portable/store/sqlite_db.h"

#include <atomic>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <string>

namespace portable {
namespace {

constexpr int kCheckpointPages = 10000;

// The message of a failure: a store that cannot be written says so, whatever the statement.
std::string FailureText(sqlite3* db, const std::filesystem::path& file, std::string_view what,
                        bool readOnly = false) {
    if (!db)
        return std::string(what) + ": out of memory";
    if (readOnly || (sqlite3_errcode(db) & 0xFF) == SQLITE_READONLY)
        return "the machine is read-only (" + file.string() + " cannot be written)";
    return std::string(what) + ": " + sqlite3_errmsg(db);
}

// A URI naming the file for SQLite, every byte outside the unreserved set escaped.
std::string FileUri(const std::filesystem::path& file) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : file.string()) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '/' || c == '.' || c == '_' || c == '-' || c == '~';
        if (plain) {
            uri += static_cast<char>(c);
            continue;
        }
        uri += '%';
        uri += kDigits[c >> 4];
        uri += kDigits[c & 0xF];
    }
    return uri;
}

// A read-only store: with a log, read through it (SQLite keeps the log's index in memory
// when it cannot write the shared one); without, the file is all there is and nobody can
// change it, so SQLite is told it is immutable and needs no log or shared memory at all.
std::string ReadOnlyName(const std::filesystem::path& file) {
    std::error_code ec;
    bool log = std::filesystem::exists(file.string() + "-wal", ec);
    return FileUri(file) + (log ? "?mode=ro" : "?immutable=1");
}

std::atomic<int> writesUntilFailure{0}; // 0: no failure planned
std::atomic<int> writesCounted{0};

// Counts one write; true when it is the one planned to fail.
bool PlannedFailure() {
    ++writesCounted;
    int left = writesUntilFailure.load();
    while (left > 0 && !writesUntilFailure.compare_exchange_weak(left, left - 1)) {
    }
    return left == 1;
}

} // namespace

int FailStoreWriteAt(int n) {
    writesUntilFailure = n > 0 ? n : 0;
    return writesCounted.exchange(0);
}

Statement::Statement(Database& owner, sqlite3_stmt* stmt)
    : owner_(owner), db_(sqlite3_db_handle(stmt)), stmt_(stmt) {}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::Bind(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        owner_.Fail("sqlite3_bind_text");
    return *this;
}

Statement& Statement::BindBlob(int index, const void* data, size_t size) {
    if (sqlite3_bind_blob(stmt_, index, size ? data : "", static_cast<int>(size),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        owner_.Fail("sqlite3_bind_blob");
    return *this;
}

Statement& Statement::Bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        owner_.Fail("sqlite3_bind_int64");
    return *this;
}

Statement& Statement::BindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK)
        owner_.Fail("sqlite3_bind_null");
    return *this;
}

bool Statement::Step() {
    if (!sqlite3_stmt_busy(stmt_)) {
        if (!sqlite3_stmt_readonly(stmt_) && PlannedFailure())
            throw StoreError("a planned failure of the store's write");
        owner_.BeforeStatement(stmt_);
    }
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        sqlite3_reset(stmt_); // ends an implicit transaction at once
        return false;
    }
    std::string sql = sqlite3_sql(stmt_) ? sqlite3_sql(stmt_) : "";
    sqlite3_reset(stmt_);
    owner_.Fail("sqlite3_step (" + sql + ")");
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

Database::Database(const std::filesystem::path& file, Access access)
    : file_(file), readOnly_(access == Access::ReadOnly) {
    int flags = SQLITE_OPEN_NOMUTEX;
    std::string name = file.string();
    if (readOnly_) {
        flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        name = ReadOnlyName(file);
    } else {
        flags |= SQLITE_OPEN_READWRITE | (access == Access::Create ? SQLITE_OPEN_CREATE : 0);
    }
    if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open " + file.string() + ": " + message);
    }
    sqlite3_busy_timeout(db_, 30000);
    if (access == Access::Create)
        Exec("PRAGMA journal_mode=WAL");
    // A commit writes the log without waiting for the disk; the log is synced before it is
    // copied back. A crash of the host may lose the last commits, never the store's sanity.
    Exec("PRAGMA synchronous=NORMAL");
    Exec("PRAGMA foreign_keys=ON");
    // Pages are read through a memory map rather than a read call each, and a page cache of
    // up to 32 MB keeps lookups in a large registry cheap.
    Exec("PRAGMA mmap_size=268435456");
    Exec("PRAGMA cache_size=-32768");
    // SQLite copies the log back in the commit that crosses this many pages, and syncs the
    // log and the database file for it; at its default of 1,000 those syncs were most of the
    // time a change took on a busy disk. The log stays bounded at about 40 MB.
    Exec("PRAGMA wal_autocheckpoint=" + std::to_string(kCheckpointPages));
    // A first read opens the log and maps its index (a new store opens them no earlier).
    Exec("SELECT 1 FROM sqlite_master LIMIT 1");
    if (!readOnly_ && JournalMode() == "wal")
        watch_ = std::make_unique<WalWatch>(db_);
}

Database::~Database() {
    LetGo();
    for (sqlite3_stmt* stmt : controls_)
        sqlite3_finalize(stmt);
    cache_.clear();
    watch_.reset();
    sqlite3_close(db_);
}

void Database::Fail(std::string_view what) const {
    bool readOnly = readOnly_ || (sqlite3_errcode(db_) & 0xFF) == SQLITE_READONLY;
    throw StoreError(FailureText(db_, file_, what), readOnly);
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

std::uint64_t Database::Version() {
    Observe();
    return version_;
}

bool Database::Observe() {
    if (watch_ && watch_->Watching() && !watch_->Changed())
        return false;
    LetGo();
    ++version_;
    return true;
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

std::string Database::JournalMode() {
    auto& stmt = Prepare("PRAGMA journal_mode");
    std::string mode = stmt.Step() ? stmt.Text(0) : std::string();
    stmt.Reset();
    return mode;
}

void Database::BeginWrite() {
    if (readOnly_)
        throw StoreError(FailureText(db_, file_, "BEGIN IMMEDIATE", true), true);
    LetGo();
    if (PlannedFailure())
        throw StoreError("a planned failure of BEGIN IMMEDIATE");
    if (Run(Control::BeginImmediate) != SQLITE_DONE)
        Fail("BEGIN IMMEDIATE");
    Observe(); // what others committed before the lock was ours counts as theirs
}

// While this connection holds the write lock only it changes the log, so a header whose
// counter rose by exactly one across its COMMIT is its own commit: taken as seen, it does not
// count as a new version (the caller knows what it wrote) and the next statement keeps its
// snapshot again.
void Database::CommitWrite() {
    std::optional<std::uint32_t> before;
    if (watch_)
        before = watch_->Counter();
    if (PlannedFailure())
        throw StoreError("a planned failure of COMMIT");
    if (Run(Control::Commit) != SQLITE_DONE)
        Fail("COMMIT");
    if (before)
        watch_->AdoptAt(*before + 1);
    if (onWriteEnd_)
        onWriteEnd_(true);
}

void Database::RollbackWrite() {
    Run(Control::Rollback);
    if (onWriteEnd_)
        onWriteEnd_(false);
}

void Database::BeforeStatement(sqlite3_stmt* stmt) {
    if (!watch_ || InWriteTransaction())
        return; // still opening, read-only, or inside a write transaction
    if (!sqlite3_stmt_readonly(stmt)) {
        LetGo(); // a write outside a Transaction commits on its own, on the newest data
        return;
    }
    // The header is looked at before the snapshot is taken (at the statement's first read),
    // so a commit in between only renews the snapshot once too often.
    bool changed = Observe();
    if (reading_ && !changed && sqlite3_get_autocommit(db_) == 0)
        return;
    reading_ = false;
    // Right after a commit the statement runs on its own: while others commit one after
    // another, a snapshot kept between statements would keep the log from starting afresh.
    // Without the watch there is no telling when to renew: one transaction per statement.
    if (changed || !watch_->Watching())
        return;
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
        if ((sqlite3_errcode(db_) & 0xFF) == SQLITE_READONLY)
            Fail(text);
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
        Fail("sqlite3_prepare (" + key + ")");
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
