#include "platform/portable/files/stored_names.h"

#include "platform/codepage.h"
#include "platform/portable/files/short_name.h"
#include "platform/portable/store/sqlite_db.h"

namespace portable {
namespace {

constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

std::int64_t Ns(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Rows of a folder key and of every folder below it, as index ranges ('0' follows '/').
constexpr const char* kBelow = "(dir = ?1 OR (dir > ?1 || '/' AND dir < ?1 || '0'))";

} // namespace

std::string UpperKey(std::string_view ansiName) {
    return win::FromAnsi(win::AnsiUpper(ansiName));
}

FolderStamp FolderStamp::Of(const struct stat& st) {
    return {static_cast<std::int64_t>(st.st_dev), static_cast<std::int64_t>(st.st_ino),
            Ns(st.st_mtim), Ns(st.st_ctim)};
}

std::optional<FolderStamp> StampOf(int dirFd) {
    struct stat st;
    if (::fstat(dirFd, &st) != 0)
        return std::nullopt;
    return FolderStamp::Of(st);
}

void StoredNames::CreateSchema(Database& db) {
    auto& exists =
        db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'folders'");
    bool present = exists.Step();
    exists.Reset();
    if (present)
        return;
    db.Exec(R"sql(
        CREATE TABLE IF NOT EXISTS folders(
            dir TEXT PRIMARY KEY, device INTEGER NOT NULL, inode INTEGER NOT NULL,
            modified INTEGER NOT NULL, changed INTEGER NOT NULL);
        CREATE INDEX IF NOT EXISTS names_short ON names(dir, short);
    )sql");
}

bool StoredNames::HasClaims() {
    if (hasClaims_ < 0) {
        auto& exists =
            db_.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'folders'");
        hasClaims_ = exists.Step() ? 1 : 0;
        exists.Reset();
    }
    return hasClaims_ == 1;
}

bool StoredNames::Current(const std::string& dirKey, const FolderStamp& stamp) {
    if (!HasClaims())
        return false;
    auto& stmt = db_.Prepare("SELECT device, inode, modified, changed FROM folders WHERE dir = ?1");
    stmt.Bind(1, dirKey);
    if (!stmt.Step())
        return false;
    FolderStamp stored{stmt.Int(0), stmt.Int(1), stmt.Int(2), stmt.Int(3)};
    stmt.Reset();
    return stored == stamp;
}

void StoredNames::Claim(const std::string& dirKey, const FolderStamp& stamp) {
    if (!HasClaims())
        return;
    db_.Prepare("INSERT OR REPLACE INTO folders(dir, device, inode, modified, changed) "
                "VALUES(?1, ?2, ?3, ?4, ?5)")
        .Bind(1, dirKey)
        .Bind(2, stamp.device)
        .Bind(3, stamp.inode)
        .Bind(4, stamp.modifiedNs)
        .Bind(5, stamp.changedNs)
        .Run();
}

void StoredNames::Advance(const std::string& dirKey, const FolderStamp& before,
                          const FolderStamp& after) {
    if (!HasClaims() || before == after || before.device != after.device ||
        before.inode != after.inode)
        return;
    db_.Prepare("UPDATE folders SET modified = ?5, changed = ?6 WHERE dir = ?1 AND device = ?2 "
                "AND inode = ?3 AND modified = ?4 AND changed = ?7")
        .Bind(1, dirKey)
        .Bind(2, before.device)
        .Bind(3, before.inode)
        .Bind(4, before.modifiedNs)
        .Bind(5, after.modifiedNs)
        .Bind(6, after.changedNs)
        .Bind(7, before.changedNs)
        .Run();
}

std::optional<DirEntry> StoredNames::Entry(const std::string& hostName,
                                           const std::string& shortName,
                                           std::int64_t attributes) const {
    // The same test a listing applies to what the host holds: the name must be one Windows
    // could spell, so that no stored name such as ".." or "a/b" leads anywhere else.
    auto ansi = WindowsName(hostName);
    if (!ansi)
        return std::nullopt;
    DirEntry e;
    e.hostName = hostName;
    e.longName = std::move(*ansi);
    e.shortName = win::ToAnsi(shortName);
    e.attributes = static_cast<DWORD>(attributes) & kStoredAttributes;
    return e;
}

std::optional<DirEntry> StoredNames::Find(const std::string& dirKey, std::string_view ansiName) {
    std::string key = UpperKey(ansiName);
    for (const char* sql : {"SELECT name, short, attrs FROM names WHERE dir = ?1 AND upper = ?2",
                            "SELECT name, short, attrs FROM names WHERE dir = ?1 AND short = ?2"}) {
        auto& stmt = db_.Prepare(sql);
        stmt.Bind(1, dirKey).Bind(2, key);
        if (!stmt.Step())
            continue;
        auto entry = Entry(stmt.Text(0), stmt.Text(1), stmt.Int(2));
        stmt.Reset();
        if (entry && UpperKey(entry->longName) == key)
            return entry;
        if (entry && UpperKey(entry->shortName) == key)
            return entry;
    }
    return std::nullopt;
}

std::vector<DirEntry> StoredNames::All(const std::string& dirKey) {
    std::vector<DirEntry> out;
    auto& stmt = db_.Prepare("SELECT name, short, attrs FROM names WHERE dir = ?1 ORDER BY name");
    stmt.Bind(1, dirKey);
    while (stmt.Step()) {
        if (auto entry = Entry(stmt.Text(0), stmt.Text(1), stmt.Int(2)))
            out.push_back(std::move(*entry));
    }
    return out;
}

bool StoredNames::Taken(const std::string& dirKey, const std::string& upperCandidate) {
    for (const char* sql : {"SELECT 1 FROM names WHERE dir = ?1 AND upper = ?2",
                            "SELECT 1 FROM names WHERE dir = ?1 AND short = ?2"}) {
        auto& stmt = db_.Prepare(sql);
        stmt.Bind(1, dirKey).Bind(2, upperCandidate);
        bool found = stmt.Step();
        stmt.Reset();
        if (found)
            return true;
    }
    return false;
}

std::string StoredNames::NewAlias(const std::string& dirKey, std::string_view ansiLongName) {
    return MakeShortName(ansiLongName, [&](std::string_view candidate) {
        return Taken(dirKey, win::FromAnsi(candidate));
    });
}

std::vector<StoredNames::Row> StoredNames::Rows(const std::string& dirKey) {
    std::vector<Row> rows;
    auto& stmt = db_.Prepare("SELECT upper, short, attrs FROM names WHERE dir = ?1");
    stmt.Bind(1, dirKey);
    while (stmt.Step())
        rows.push_back({stmt.Text(0), win::ToAnsi(stmt.Text(1)), static_cast<DWORD>(stmt.Int(2))});
    return rows;
}

void StoredNames::Put(const std::string& dirKey, const std::string& hostName,
                      std::string_view shortName, DWORD attributes) {
    db_.Prepare("INSERT OR REPLACE INTO names(dir, name, upper, short, attrs) "
                "VALUES(?1, ?2, ?3, ?4, ?5)")
        .Bind(1, dirKey)
        .Bind(2, hostName)
        .Bind(3, UpperKey(win::ToAnsi(hostName)))
        .Bind(4, win::FromAnsi(shortName))
        .Bind(5, static_cast<std::int64_t>(attributes & kStoredAttributes))
        .Run();
}

void StoredNames::Drop(const std::string& dirKey, const std::string& upper) {
    db_.Prepare("DELETE FROM names WHERE dir = ?1 AND upper = ?2")
        .Bind(1, dirKey)
        .Bind(2, upper)
        .Run();
}

void StoredNames::SetAttributes(const std::string& dirKey, const std::string& upper,
                                DWORD attributes) {
    db_.Prepare("UPDATE names SET attrs = ?3 WHERE dir = ?1 AND upper = ?2")
        .Bind(1, dirKey)
        .Bind(2, upper)
        .Bind(3, static_cast<std::int64_t>(attributes & kStoredAttributes))
        .Run();
}

void StoredNames::DropFolder(const std::string& folderKey) {
    db_.Prepare(std::string("DELETE FROM names WHERE ") + kBelow).Bind(1, folderKey).Run();
    if (HasClaims())
        db_.Prepare(std::string("DELETE FROM folders WHERE ") + kBelow).Bind(1, folderKey).Run();
}

void StoredNames::MoveFolder(const std::string& fromKey, const std::string& toKey) {
    // Rows left below a folder that vanished on the host would collide with those moved in.
    DropFolder(toKey);
    for (const char* table : {"names", "folders"}) {
        if (std::string_view(table) == "folders" && !HasClaims())
            continue;
        db_.Prepare(std::string("UPDATE ") + table +
                    " SET dir = ?2 || substr(dir, length(?1) + 1) " + "WHERE " + kBelow)
            .Bind(1, fromKey)
            .Bind(2, toKey)
            .Run();
    }
}

} // namespace portable
