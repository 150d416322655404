#include "platform/portable/registry/registry_store.h"

#include "platform/codepage.h"
#include "platform/portable/files/change_record.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"

namespace portable {
namespace {

// Past this many entries a cache starts afresh rather than grow with the registry.
constexpr size_t kMaxCacheEntries = 1 << 16;

constexpr std::string_view kSchema = R"sql(
    CREATE TABLE IF NOT EXISTS reg_keys(
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        parent INTEGER,
        name TEXT NOT NULL,
        upper TEXT NOT NULL,
        UNIQUE(parent, upper));
    CREATE TABLE IF NOT EXISTS reg_values(
        key INTEGER NOT NULL,
        name TEXT NOT NULL,
        upper TEXT NOT NULL,
        type INTEGER NOT NULL,
        data BLOB NOT NULL,
        PRIMARY KEY(key, upper)) WITHOUT ROWID;
    INSERT OR IGNORE INTO reg_keys(id, parent, name, upper) VALUES
        (1, NULL, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),
        (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER');
)sql";

bool SchemaExists(Database& db) {
    auto& stmt = db.Prepare("SELECT 1 FROM sqlite_master WHERE name = 'reg_values'");
    bool exists = stmt.Step();
    stmt.Reset();
    return exists;
}

} // namespace

std::string_view WithoutTrailingSeparator(std::string_view path) {
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

std::string UpperKeyName(std::string_view ansi) {
    // Names are nearly always ASCII, which is the same in UTF-8: one pass, one allocation.
    std::string upper(ansi.size(), '\0');
    for (size_t i = 0; i < ansi.size(); ++i) {
        auto c = static_cast<unsigned char>(ansi[i]);
        if (c >= 0x80)
            return win::FromAnsi(win::AnsiUpper(ansi));
        upper[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
    }
    return upper;
}

bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& out) {
    out.clear();
    path = WithoutTrailingSeparator(path);
    if (path.empty())
        return true;
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        std::string_view part =
            path.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty() || part.size() > kMaxKeyNameLength)
            return false;
        out.push_back(part);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

void RegistryStore::CreateSchema(Database& db) {
    db.Exec(kSchema);
}

std::shared_ptr<RegistryStore> RegistryStore::Of(Machine& machine) {
    return machine.Registry();
}

RegistryStore::RegistryStore(Machine& machine) : machine_(machine) {
    if (!SchemaExists(db()) && !db().ReadOnly()) { // a machine made before the registry
        Transaction txn(db());
        CreateSchema(db());
        txn.Commit();
    }
    version_ = db().Version();
}

Database& RegistryStore::db() {
    return machine_.store();
}

bool RegistryStore::InTransaction() {
    return db().InWriteTransaction();
}

void RegistryStore::Validate() {
    std::uint64_t version = db().Version();
    if (version == version_)
        return; // nothing committed anywhere since the last look
    version_ = version;
    DropCaches();
}

void RegistryStore::DropCaches() {
    ++generation_;
    ++localChanges_;
}

void RegistryStore::TrimCaches() {
    if (keys_.size() > kMaxCacheEntries)
        keys_.clear();
    if (values_.size() > kMaxCacheEntries)
        values_.clear();
}

std::uint64_t RegistryStore::Stamp() {
    Validate();
    return localChanges_;
}

std::optional<KeyId> RegistryStore::FindChild(KeyId parent, std::string_view name) {
    auto& stmt = db().Prepare("SELECT id FROM reg_keys WHERE parent = ?1 AND upper = ?2");
    stmt.Bind(1, parent).Bind(2, UpperKeyName(name));
    if (!stmt.Step())
        return std::nullopt;
    KeyId id = stmt.Int(0);
    stmt.Reset();
    return id;
}

std::optional<KeyId> RegistryStore::FindKey(KeyId start, std::string_view path) {
    path = WithoutTrailingSeparator(path);
    if (path.empty())
        return start;
    CacheKey cacheKey{start, UpperKeyName(path)};
    if (auto hit = keys_.find(cacheKey);
        hit != keys_.end() && hit->second.generation == generation_)
        return hit->second.item;
    std::vector<std::string_view> parts;
    if (!SplitKeyPath(path, parts))
        return std::nullopt;
    KeyId at = start;
    for (auto part : parts) {
        auto child = FindChild(at, part);
        if (!child)
            return std::nullopt;
        at = *child;
    }
    if (!InTransaction()) { // only committed keys are remembered
        TrimCaches();
        keys_.insert_or_assign(std::move(cacheKey), Cached<KeyId>{at, generation_});
    }
    return at;
}

KeyId RegistryStore::CreateKey(KeyId start, std::string_view path, bool& created) {
    created = false;
    std::vector<std::string_view> parts;
    if (!SplitKeyPath(path, parts))
        throw StoreError("invalid key path");
    KeyId at = start;
    for (auto part : parts) {
        bool fresh = false;
        at = CreateChild(at, part, fresh);
        created = created || fresh;
    }
    return at;
}

KeyId RegistryStore::CreateChild(KeyId parent, std::string_view name, bool& created) {
    created = false;
    if (auto child = FindChild(parent, name))
        return *child;
    machine_.Changes().Join();
    std::string stored = win::FromAnsi(name);
    std::string upper = UpperKeyName(name);
    db().Prepare("INSERT INTO reg_keys(parent, name, upper) VALUES(?1, ?2, ?3)")
        .Bind(1, parent)
        .Bind(2, stored)
        .Bind(3, upper)
        .Run();
    created = true;
    ++localChanges_;
    KeyId key = db().LastInsertId();
    machine_.Changes().KeyMade(key, parent, stored, upper);
    return key;
}

bool RegistryStore::KeyExists(KeyId key) {
    auto& stmt = db().Prepare("SELECT 1 FROM reg_keys WHERE id = ?1");
    stmt.Bind(1, key);
    bool exists = stmt.Step();
    stmt.Reset();
    return exists;
}

KeyId RegistryStore::ClassesRoot() {
    constexpr std::string_view kClasses = "SOFTWARE\\Classes";
    if (auto key = FindKey(kLocalMachineKey, kClasses))
        return *key;
    Transaction txn(db());
    bool created = false;
    KeyId key = CreateKey(kLocalMachineKey, kClasses, created);
    if (created)
        machine_.Journal("reg create [HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]");
    txn.Commit();
    return key;
}

// The subtree is found with a recursive query rather than cascading deletes, so that no
// depth of nesting runs into a recursion limit.
void RegistryStore::DeleteKey(KeyId key, std::int64_t& keys, std::int64_t& values) {
    constexpr std::string_view kTree = R"sql(
        WITH RECURSIVE tree(id) AS (
            SELECT ?1 UNION ALL SELECT k.id FROM reg_keys k JOIN tree ON k.parent = tree.id))sql";
    std::string tree(kTree);
    machine_.Changes().KeysGoing(key, true);
    db().Prepare(tree + " DELETE FROM reg_values WHERE key IN tree").Bind(1, key).Run();
    values = db().Changes();
    db().Prepare(tree + " DELETE FROM reg_keys WHERE id IN tree").Bind(1, key).Run();
    keys = db().Changes();
    DropCaches(); // ids below key are gone from every cached path
}

std::optional<StoredValue> RegistryStore::GetValue(KeyId key, std::string_view name) {
    CacheKey cacheKey{key, UpperKeyName(name)};
    if (auto hit = values_.find(cacheKey);
        hit != values_.end() && hit->second.generation == generation_)
        return hit->second.item;
    auto& stmt = db().Prepare("SELECT type, data FROM reg_values WHERE key = ?1 AND upper = ?2");
    stmt.Bind(1, key).Bind(2, cacheKey.upper);
    if (!stmt.Step())
        return std::nullopt;
    StoredValue value;
    value.type = static_cast<DWORD>(stmt.Int(0));
    value.data = stmt.BlobView(1);
    stmt.Reset();
    if (!InTransaction()) {
        TrimCaches();
        values_.insert_or_assign(std::move(cacheKey), Cached<StoredValue>{value, generation_});
    }
    return value;
}

void RegistryStore::SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) {
    std::string upper = UpperKeyName(name);
    values_.erase(CacheKey{key, upper});
    machine_.Changes().ValueChanging(key, upper, win::FromAnsi(name), false);
    // An existing value keeps the spelling of its name, as on Windows.
    db().Prepare(R"sql(
        INSERT INTO reg_values(key, name, upper, type, data) VALUES(?1, ?2, ?3, ?4, ?5)
        ON CONFLICT(key, upper) DO UPDATE SET type = excluded.type, data = excluded.data)sql")
        .Bind(1, key)
        .Bind(2, win::FromAnsi(name))
        .Bind(3, upper)
        .Bind(4, static_cast<std::int64_t>(type))
        .BindBlob(5, data.data(), data.size())
        .Run();
    ++localChanges_;
}

bool RegistryStore::DeleteValue(KeyId key, std::string_view name) {
    std::string upper = UpperKeyName(name);
    values_.erase(CacheKey{key, upper});
    machine_.Changes().ValueChanging(key, upper, win::FromAnsi(name), true);
    db().Prepare("DELETE FROM reg_values WHERE key = ?1 AND upper = ?2")
        .Bind(1, key)
        .Bind(2, upper)
        .Run();
    bool deleted = db().Changes() > 0;
    if (deleted)
        ++localChanges_;
    return deleted;
}

std::vector<std::string> RegistryStore::SubkeyNames(KeyId key) {
    std::vector<std::string> names;
    auto& stmt = db().Prepare("SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY upper");
    stmt.Bind(1, key);
    while (stmt.Step())
        names.push_back(win::ToAnsi(stmt.Text(0)));
    return names;
}

std::vector<NamedValue> RegistryStore::Values(KeyId key) {
    std::vector<NamedValue> values;
    auto& stmt =
        db().Prepare("SELECT name, type, data FROM reg_values WHERE key = ?1 ORDER BY upper");
    stmt.Bind(1, key);
    while (stmt.Step()) {
        NamedValue v;
        v.name = win::ToAnsi(stmt.Text(0));
        v.type = static_cast<DWORD>(stmt.Int(1));
        auto bytes = stmt.Blob(2);
        v.data.assign(bytes.begin(), bytes.end());
        values.push_back(std::move(v));
    }
    return values;
}

std::string RegistryStore::KeyName(KeyId key) {
    auto& stmt = db().Prepare("SELECT name FROM reg_keys WHERE id = ?1");
    stmt.Bind(1, key);
    if (!stmt.Step())
        return {};
    std::string name = win::ToAnsi(stmt.Text(0));
    stmt.Reset();
    return name;
}

RegistryDump RegistryStore::Dump() {
    Validate();
    RegistryDump dump;
    // One statement: a commit of another process between a read of the keys and a read of
    // the values would otherwise pair values with keys of another moment.
    auto& stmt = db().Prepare(R"sql(
        SELECT 0, id, parent, name, NULL, NULL FROM reg_keys
        UNION ALL SELECT 1, key, NULL, name, type, data FROM reg_values)sql");
    while (stmt.Step()) {
        if (stmt.Int(0) == 0) {
            dump.keys.push_back(
                {stmt.Int(1), stmt.IsNull(2) ? 0 : stmt.Int(2), win::ToAnsi(stmt.Text(3))});
            continue;
        }
        dump.values.push_back({stmt.Int(1), win::ToAnsi(stmt.Text(3)),
                               static_cast<DWORD>(stmt.Int(4)), std::string(stmt.BlobView(5))});
    }
    return dump;
}

} // namespace portable
