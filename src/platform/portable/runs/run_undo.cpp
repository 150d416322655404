#include "platform/portable/runs/run_undo.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/stored_names.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/runs/run_log.h"
#include "platform/portable/store/sqlite_db.h"

#include <map>
#include <set>
#include <utility>

namespace portable {
namespace {

std::string Named(const RunInfo& run) {
    return "run " + std::to_string(run.id) + " (" + run.program + ")";
}

// What a run touched, as far as another run's changes can meet it.
struct Touched {
    std::set<std::string> paths;                             // upper-case long paths
    std::map<std::string, std::string> shown;                // upper-case path: as written
    std::set<std::int64_t> keys;                             // registry keys made, deleted, changed
    std::set<std::pair<std::int64_t, std::string>> keyNames; // the same, by parent and name
    std::set<std::int64_t> anchors; // keys whose children or values changed
    std::set<std::pair<std::int64_t, std::string>> values;
    std::set<std::int64_t> recycled; // recycle bin entries
};

Touched Gather(Machine& machine, std::int64_t run) {
    Touched t;
    for (const FileChange& change : machine.Runs().FileChanges(run)) {
        for (const std::string* path : {&change.path, &change.other}) {
            if (path->empty())
                continue;
            std::string upper = UpperKey(*path);
            t.paths.insert(upper);
            t.shown.emplace(upper, win::FromAnsi(*path));
        }
    }
    auto& stmt =
        machine.store().Prepare("SELECT tbl, id, parent, upper, name FROM run_rows WHERE run = ?1");
    stmt.Bind(1, run);
    while (stmt.Step()) {
        std::string table = stmt.Text(0);
        std::int64_t id = stmt.Int(1);
        if (table == "key") {
            t.keys.insert(id);
            if (!stmt.IsNull(2)) {
                t.anchors.insert(stmt.Int(2));
                t.keyNames.emplace(stmt.Int(2), stmt.Text(3));
                t.shown.emplace("\x02" + std::to_string(stmt.Int(2)) + "/" + stmt.Text(3),
                                "registry key \"" + stmt.Text(4) + "\"");
            }
        } else if (table == "value") {
            t.values.emplace(id, stmt.Text(3));
            t.anchors.insert(id);
            t.shown.emplace("\x01" + std::to_string(id) + "/" + stmt.Text(3),
                            "registry value \"" + stmt.Text(4) + "\"");
        } else {
            t.recycled.insert(id);
        }
    }
    return t;
}

// A registry key's path by its id, as far as its rows still exist (a deleted key is named
// by its number). Bounded: a damaged store's parents may run in a circle.
std::string KeyPath(Database& db, std::int64_t id) {
    std::string path;
    for (int depth = 0; id && depth < 512; ++depth) {
        auto& stmt = db.Prepare("SELECT parent, name FROM reg_keys WHERE id = ?1");
        stmt.Bind(1, id);
        if (!stmt.Step())
            return path.empty() ? "#" + std::to_string(id) + " (deleted since)" : "…\\" + path;
        std::string name = stmt.Text(1);
        id = stmt.IsNull(0) ? 0 : stmt.Int(0);
        stmt.Reset();
        path = path.empty() ? name : name + "\\" + path;
    }
    return path;
}

// Whether path is a or lies below a: "C:\A" holds "C:\A\B".
bool Within(const std::string& path, const std::string& a) {
    return path.size() > a.size() && path.compare(0, a.size(), a) == 0 && path[a.size()] == '\\';
}

template <typename T> std::vector<T> Common(const std::set<T>& a, const std::set<T>& b) {
    std::vector<T> out;
    for (const T& x : a) {
        if (b.count(x))
            out.push_back(x);
    }
    return out;
}

// The items of mine that later also changed, in words.
std::vector<std::string> Overlap(Database& db, const Touched& mine, const Touched& later) {
    std::vector<std::string> items;
    for (const std::string& path : later.paths) {
        for (const std::string& own : mine.paths) {
            if (path == own || Within(path, own) || Within(own, path)) {
                items.push_back(later.shown.at(path));
                break;
            }
        }
    }
    for (std::int64_t key : Common(mine.keys, later.keys))
        items.push_back("registry key " + KeyPath(db, key));
    // A key deleted and made again is another row of the same name.
    for (const auto& key : Common(mine.keyNames, later.keyNames)) {
        if (!mine.keys.count(key.first))
            items.push_back(later.shown.at("\x02" + std::to_string(key.first) + "/" + key.second) +
                            " under " + KeyPath(db, key.first));
    }
    for (std::int64_t key : Common(mine.keys, later.anchors))
        items.push_back("what lies below registry key " + KeyPath(db, key));
    for (std::int64_t key : Common(mine.anchors, later.keys))
        items.push_back("registry key " + KeyPath(db, key));
    for (const auto& value : Common(mine.values, later.values))
        items.push_back(later.shown.at("\x01" + std::to_string(value.first) + "/" + value.second) +
                        " of " + KeyPath(db, value.first));
    for (std::int64_t id : Common(mine.recycled, later.recycled))
        items.push_back("recycle bin entry " + std::to_string(id));
    return items;
}

// Later runs that changed what run changed, each with its items.
std::vector<std::pair<RunInfo, std::vector<std::string>>> LaterChanges(Machine& machine,
                                                                       const RunInfo& run) {
    std::vector<std::pair<RunInfo, std::vector<std::string>>> found;
    Touched mine = Gather(machine, run.id);
    auto runs = machine.Runs().List();
    std::map<std::int64_t, std::int64_t> undoneBy;
    for (const RunInfo& r : runs)
        undoneBy[r.id] = r.undoneBy;
    for (const RunInfo& later : runs) {
        if (later.id <= run.id || later.undoneBy || later.id == machine.Runs().Current())
            continue;
        // An undo in effect of a run after this one: the two together changed nothing.
        if (later.undoes > run.id && undoneBy[later.undoes] == later.id)
            continue;
        auto items = Overlap(machine.store(), mine, Gather(machine, later.id));
        if (!items.empty())
            found.emplace_back(later, std::move(items));
    }
    return found;
}

void RefuseUnlessUndoable(Machine& machine, const std::optional<RunInfo>& run, std::int64_t id) {
    if (!run)
        throw UndoRefused("there is no run " + std::to_string(id));
    if (run->alive)
        throw UndoRefused(Named(*run) + " is still running");
    if (run->forgotten)
        throw UndoRefused(Named(*run) +
                          " can no longer be undone: what it replaced is no longer kept");
    if (run->undoneBy)
        throw UndoRefused(Named(*run) + " was taken back already, by run " +
                          std::to_string(run->undoneBy));
    for (const RunInfo& other : machine.Runs().List()) {
        if (other.alive && other.id != machine.Runs().Current())
            throw UndoRefused(Named(other) + " is running; an undo needs the machine to itself");
    }
}

// The registry's and the recycle bin's rows as they were, newest change first.
void PutBackRows(Machine& machine, std::int64_t run, std::int64_t& changes) {
    Database& db = machine.store();
    struct Row {
        std::string table, op;
        std::int64_t id = 0;
        std::optional<std::int64_t> parent;
        std::string name, upper, data, drive;
        std::int64_t type = 0;
    };
    std::vector<Row> rows;
    auto& stmt = db.Prepare("SELECT tbl, op, id, parent, name, upper, type, data, drive "
                            "FROM run_rows WHERE run = ?1 ORDER BY seq DESC");
    stmt.Bind(1, run);
    while (stmt.Step()) {
        Row r;
        r.table = stmt.Text(0);
        r.op = stmt.Text(1);
        r.id = stmt.Int(2);
        if (!stmt.IsNull(3))
            r.parent = stmt.Int(3);
        r.name = stmt.IsNull(4) ? "" : stmt.Text(4);
        r.upper = stmt.IsNull(5) ? "" : stmt.Text(5);
        r.type = stmt.IsNull(6) ? 0 : stmt.Int(6);
        if (!stmt.IsNull(7))
            r.data = std::string(stmt.BlobView(7));
        r.drive = stmt.IsNull(8) ? "" : stmt.Text(8);
        rows.push_back(std::move(r));
    }
    auto registry = machine.Registry();
    RunLog& log = machine.Runs(); // the undo is a run: what it replaces is kept too
    for (const Row& r : rows) {
        ++changes;
        if (r.table == "key" && r.op == "insert") {
            log.KeysGoing(r.id, false);
            db.Prepare("DELETE FROM reg_values WHERE key = ?1").Bind(1, r.id).Run();
            db.Prepare("DELETE FROM reg_keys WHERE id = ?1").Bind(1, r.id).Run();
        } else if (r.table == "key") {
            // A key of the same name made since (only when forced) gives way, with its tree.
            auto& other = db.Prepare(
                "SELECT id FROM reg_keys WHERE parent IS ?1 AND upper = ?2 AND id <> ?3");
            r.parent ? other.Bind(1, *r.parent) : other.BindNull(1);
            other.Bind(2, r.upper).Bind(3, r.id);
            if (other.Step()) {
                KeyId gone = other.Int(0);
                other.Reset();
                std::int64_t keys = 0, values = 0;
                registry->DeleteKey(gone, keys, values);
            }
            log.KeysGoing(r.id, false);
            db.Prepare("DELETE FROM reg_keys WHERE id = ?1").Bind(1, r.id).Run();
            auto& insert =
                db.Prepare("INSERT INTO reg_keys(id, parent, name, upper) VALUES(?1, ?2, ?3, ?4)");
            insert.Bind(1, r.id);
            r.parent ? insert.Bind(2, *r.parent) : insert.BindNull(2);
            insert.Bind(3, r.name).Bind(4, r.upper).Run();
            log.KeyMade(r.id, r.parent.value_or(0), r.name, r.upper);
        } else if (r.table == "value") {
            log.ValueChanging(r.id, r.upper, r.name, r.op == "insert");
            db.Prepare("DELETE FROM reg_values WHERE key = ?1 AND upper = ?2")
                .Bind(1, r.id)
                .Bind(2, r.upper)
                .Run();
            if (r.op != "insert")
                db.Prepare("INSERT INTO reg_values(key, name, upper, type, data) "
                           "VALUES(?1, ?2, ?3, ?4, ?5)")
                    .Bind(1, r.id)
                    .Bind(2, r.name)
                    .Bind(3, r.upper)
                    .Bind(4, r.type)
                    .BindBlob(5, r.data.data(), r.data.size())
                    .Run();
        } else {
            log.RecycleChanging(r.id, false);
            db.Prepare("DELETE FROM recycle_bin WHERE id = ?1").Bind(1, r.id).Run();
            if (r.op == "insert")
                continue;
            log.RecycleChanging(r.id, true);
            db.Prepare("INSERT INTO recycle_bin(id, drive, stored, original, deleted, size, "
                       "folder) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")
                .Bind(1, r.id)
                .Bind(2, r.drive)
                .Bind(3, r.name)
                .Bind(4, r.upper)
                .Bind(5, r.data)
                .Bind(6, r.parent.value_or(0))
                .Bind(7, r.type)
                .Run();
        }
    }
}

bool Gone(DWORD rc) {
    return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND;
}

// Clears read-only so that the entry can go; a missing entry needs nothing.
DWORD Writable(FileSystem& files, const std::string& path) {
    DWORD attributes = 0;
    if (DWORD rc = files.GetAttributes(path, attributes); rc != ERROR_SUCCESS)
        return rc;
    if (!(attributes & FILE_ATTRIBUTE_READONLY))
        return ERROR_SUCCESS;
    return files.SetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

// The opposite of one file change; ERROR_SUCCESS when the entry is as it was before it.
DWORD PutBackFile(FileSystem& files, const FileChange& c) {
    using Op = FileChange::Op;
    switch (c.op) {
    case Op::MadeFolder:
    case Op::MadeFile: {
        DWORD rc = Writable(files, c.path);
        if (rc == ERROR_SUCCESS)
            rc = c.op == Op::MadeFolder ? files.RemoveDirectory(c.path) : files.DeleteFile(c.path);
        return Gone(rc) ? ERROR_SUCCESS : rc;
    }
    case Op::RemovedFolder: {
        DWORD rc = files.CreateDirectory(c.path);
        if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS)
            return rc;
        return files.SetAttributes(c.path, c.attributes);
    }
    case Op::DeletedFile:
        if (DWORD rc = files.PutBack(c.path, c.kept); rc != ERROR_SUCCESS)
            return rc;
        return files.SetAttributes(c.path, c.attributes);
    case Op::Rewrote:
        return files.PutBack(c.path, c.kept);
    case Op::SetAttributes:
        return files.SetAttributes(c.path, c.attributes);
    case Op::Moved:
        if (DWORD rc = files.Move(c.other, c.path, false); rc != ERROR_SUCCESS && !Gone(rc))
            return rc;
        if (c.kept.empty())
            return ERROR_SUCCESS;
        if (DWORD rc = files.PutBack(c.other, c.kept); rc != ERROR_SUCCESS)
            return rc;
        return files.SetAttributes(c.other, c.attributes);
    }
    return ERROR_INVALID_PARAMETER;
}

} // namespace

UndoReport UndoRun(Machine& machine, std::int64_t id, bool force) {
    RunLog& runs = machine.Runs();
    auto run = runs.Find(id);
    RefuseUnlessUndoable(machine, run, id);
    UndoReport report;
    report.run = id;
    auto later = LaterChanges(machine, *run);
    if (!later.empty() && !force) {
        std::string names;
        for (const auto& [other, items] : later)
            names += (names.empty() ? "" : ", ") + Named(other);
        throw UndoRefused("later runs changed what " + Named(*run) + " changed: " + names +
                          "; undo them first, or force it");
    }
    for (const auto& [other, items] : later) {
        for (const auto& item : items)
            report.overwritten.push_back(Named(other) + ": " + item);
    }
    std::vector<FileChange> fileChanges = runs.FileChanges(id);
    {
        Transaction txn(machine.store());
        report.undoRun = runs.Join();
        PutBackRows(machine, id, report.changes);
        runs.SetUndoes(id);
        runs.SetUndone(id, true);
        if (run->undoes)
            runs.SetUndone(run->undoes, false);
        machine.Journal("undo run " + std::to_string(id));
        txn.Commit();
    }
    machine.Registry()->ChangedBehind();
    FileSystem& files = machine.Files();
    for (auto c = fileChanges.rbegin(); c != fileChanges.rend(); ++c) {
        ++report.changes;
        if (DWORD rc = PutBackFile(files, *c); rc != ERROR_SUCCESS)
            report.failed.push_back(win::FromAnsi(c->path) + ": could not be put back (error " +
                                    std::to_string(rc) + ")");
    }
    return report;
}

} // namespace portable
