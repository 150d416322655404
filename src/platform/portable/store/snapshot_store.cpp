#include "platform/portable/store/snapshot_store.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/sha256.h"
#include "platform/portable/store/sqlite_db.h"
#include "platform/portable/store/state_codec.h"

namespace portable {
namespace {

constexpr size_t kMaxNameLength = 64;

constexpr std::string_view kSchema = R"sql(
    CREATE TABLE IF NOT EXISTS snapshots(
        name TEXT PRIMARY KEY,
        taken TEXT NOT NULL,
        files INTEGER NOT NULL,
        keys INTEGER NOT NULL,
        vals INTEGER NOT NULL,
        ini_lines INTEGER NOT NULL,
        sha256 TEXT NOT NULL,
        state BLOB NOT NULL))sql";

// A machine that never had a snapshot has no table; reading it must not make one (a
// read-only machine can still be read).
bool TableExists(Database& db) {
    auto& stmt = db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                            "name = 'snapshots'");
    bool exists = stmt.Step();
    stmt.Reset();
    return exists;
}

SnapshotInfo InfoOf(Statement& stmt) {
    return {stmt.Text(0), stmt.Text(1), stmt.Int(2), stmt.Int(3), stmt.Int(4), stmt.Int(5)};
}

} // namespace

bool IsValidSnapshotName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength || name[0] == '-' || name[0] == '.')
        return false;
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '_' || c == '+' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

void SaveSnapshot(Machine& machine, std::string_view name, const MachineState& state) {
    if (!IsValidSnapshotName(name))
        throw SnapshotError("invalid snapshot name '" + std::string(name) + "'");
    std::string encoded = EncodeState(state);
    Database& db = machine.store();
    Transaction txn(db);
    db.Exec(kSchema);
    db.Prepare(R"sql(
        INSERT OR REPLACE INTO snapshots(name, taken, files, keys, vals, ini_lines, sha256, state)
        VALUES(?1, strftime('%Y-%m-%dT%H:%M:%SZ', 'now'), ?2, ?3, ?4, ?5, ?6, ?7))sql")
        .Bind(1, name)
        .Bind(2, static_cast<std::int64_t>(state.files.size()))
        .Bind(3, static_cast<std::int64_t>(state.keys.size()))
        .Bind(4, static_cast<std::int64_t>(state.values.size()))
        .Bind(5, static_cast<std::int64_t>(state.iniLines.size()))
        .Bind(6, HexText(Sha256::Of(encoded)))
        .BindBlob(7, encoded.data(), encoded.size())
        .Run();
    txn.Commit();
}

MachineState LoadSnapshot(Machine& machine, std::string_view name, SnapshotInfo& info) {
    Database& db = machine.store();
    if (!TableExists(db))
        throw SnapshotError("no snapshot named '" + std::string(name) + "'");
    auto& stmt = db.Prepare("SELECT name, taken, files, keys, vals, ini_lines, sha256, state "
                            "FROM snapshots WHERE name = ?1");
    stmt.Bind(1, name);
    if (!stmt.Step())
        throw SnapshotError("no snapshot named '" + std::string(name) + "'");
    info = InfoOf(stmt);
    std::string sha256 = stmt.Text(6);
    std::string encoded(stmt.BlobView(7));
    stmt.Reset();
    std::string damaged = "snapshot '" + std::string(name) + "' is damaged: ";
    if (HexText(Sha256::Of(encoded)) != sha256)
        throw SnapshotError(damaged + "its contents do not match their checksum");
    try {
        return DecodeState(encoded);
    } catch (const DamagedState& e) {
        throw SnapshotError(damaged + e.what());
    }
}

std::vector<SnapshotInfo> ListSnapshots(Machine& machine) {
    std::vector<SnapshotInfo> list;
    Database& db = machine.store();
    if (!TableExists(db))
        return list;
    auto& stmt =
        db.Prepare("SELECT name, taken, files, keys, vals, ini_lines FROM snapshots ORDER BY name");
    while (stmt.Step())
        list.push_back(InfoOf(stmt));
    return list;
}

bool DeleteSnapshot(Machine& machine, std::string_view name) {
    Database& db = machine.store();
    if (!TableExists(db))
        return false;
    Transaction txn(db);
    db.Prepare("DELETE FROM snapshots WHERE name = ?1").Bind(1, name).Run();
    bool deleted = db.Changes() > 0;
    txn.Commit();
    return deleted;
}

} // namespace portable
