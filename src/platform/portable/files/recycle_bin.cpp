#include "platform/portable/files/recycle_bin.h"

#include "platform/portable/files/change_record.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/win_path.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/named_lock.h"
#include "platform/portable/store/sqlite_db.h"

#include <algorithm>
#include <charconv>

namespace portable {
namespace {

constexpr DWORD kBinAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// One restore or empty at a time: of two at once one would report items it never touched.
constexpr const char* kLockName = "recycle bin";
constexpr int kLockWait = 30000; // as long as the store waits for a writer
constexpr const char* kBusy =
    "another command is restoring or emptying the recycle bin; try again when it is done";
// A concurrent recycle may take the number chosen; the next one is tried then.
constexpr int kAttempts = 8;

std::string BinPath(char drive) {
    return std::string{drive, ':', '\\'} + std::string(RecycleBin::kFolderName);
}

bool InBin(const WinPath& path) {
    return !path.components.empty() &&
           win::AnsiEqualsNoCase(path.components[0], RecycleBin::kFolderName);
}

std::string Number(std::int64_t n) {
    return std::to_string(n);
}

// The extension Windows 95 keeps on a recycled name: that of the 8.3 alias, with its dot.
std::string Extension(std::string_view shortName) {
    size_t dot = shortName.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(shortName.substr(dot));
}

bool IsShortNameChar(unsigned char c) {
    return c > ' ' && std::string_view("\\/:*?\"<>|.+,;=[]").find(static_cast<char>(c)) ==
                          std::string_view::npos;
}

// The n of a name of the form D<drive><n>[.EXT], or 0.
std::int64_t StoredNumber(std::string_view name, char drive) {
    if (name.size() < 3 || win::AnsiUpper(static_cast<unsigned char>(name[0])) != 'D' ||
        win::AnsiUpper(static_cast<unsigned char>(name[1])) != drive)
        return 0;
    std::string_view rest = name.substr(2);
    std::string_view digits = rest.substr(0, rest.find('.'));
    std::int64_t n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size() || n < 0)
        return 0;
    return n;
}

// Only names the bin itself gives: D, the record's drive and id, an 8.3 extension. So a
// record cannot name anything but an entry of its own drive's bin.
bool IsStoredName(const RecycledItem& item) {
    std::string prefix = "D" + std::string(1, item.drive) + Number(item.id);
    if (item.id <= 0 || !item.stored.starts_with(prefix))
        return false;
    std::string_view ext = std::string_view(item.stored).substr(prefix.size());
    if (ext.empty())
        return true;
    if (ext.size() < 2 || ext.size() > 4 || ext[0] != '.')
        return false;
    return std::all_of(ext.begin() + 1, ext.end(),
                       [](char c) { return IsShortNameChar(static_cast<unsigned char>(c)); });
}

// Why a record cannot be trusted, or nothing when it can.
std::optional<std::string> Damage(const RecycledItem& item) {
    if (item.drive < 'A' || item.drive > 'Z')
        return "its drive is no drive letter";
    if (!IsStoredName(item))
        return "'" + win::FromAnsi(item.stored) + "' is no name the bin gives";
    WinPath path;
    std::string shown = "'" + win::FromAnsi(item.original) + "'";
    if (ParseWinPath(item.original, "C:\\", path) != ERROR_SUCCESS ||
        path.ToString() != item.original || path.IsRoot())
        return "original path " + shown + " is not a plain full path";
    if (path.drive != item.drive)
        return "original path " + shown + " is not on drive " + std::string(1, item.drive) + ":";
    if (InBin(path))
        return "original path " + shown + " lies in the bin";
    return std::nullopt;
}

std::string Shown(std::string_view ansi) {
    return win::FromAnsi(ansi);
}

std::string ErrorText(DWORD rc) {
    return "error " + std::to_string(rc);
}

} // namespace

std::string RecycledItem::StoredPath() const {
    return BinPath(drive) + "\\" + stored;
}

void RecycleBin::CreateSchema(Database& db) {
    // Asked first, so that opening a machine never writes when the table is there.
    auto& exists =
        db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'recycle_bin'");
    bool present = exists.Step();
    exists.Reset();
    if (present)
        return;
    db.Exec(R"sql(
        CREATE TABLE IF NOT EXISTS recycle_bin(
            id INTEGER PRIMARY KEY AUTOINCREMENT, drive TEXT NOT NULL, stored TEXT NOT NULL,
            original TEXT NOT NULL, deleted TEXT NOT NULL, size INTEGER NOT NULL,
            folder INTEGER NOT NULL);
    )sql");
}

bool RecycleBin::Holds(std::string_view fullPath) {
    WinPath path;
    return ParseWinPath(fullPath, "C:\\", path) == ERROR_SUCCESS && InBin(path);
}

RecycleBin::RecycleBin(FileSystem& files) : files_(files) {}

DWORD RecycleBin::EnsureFolder(char drive) {
    std::string bin = BinPath(drive);
    DirEntry entry;
    if (files_.Stat(bin, entry) == ERROR_FILE_NOT_FOUND) {
        DWORD rc = files_.CreateDirectory(bin);
        if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS)
            return rc;
    }
    // Still not there: the host holds something under that name the machine cannot see.
    if (files_.Stat(bin, entry) != ERROR_SUCCESS || !entry.IsDirectory())
        return ERROR_ACCESS_DENIED;
    if ((entry.attributes & kBinAttributes) == kBinAttributes)
        return ERROR_SUCCESS;
    return files_.SetAttributes(bin,
                                (entry.attributes & ~FILE_ATTRIBUTE_DIRECTORY) | kBinAttributes);
}

std::int64_t RecycleBin::NextNumber(char drive) {
    Database& db = files_.machine().store();
    auto& seq = db.Prepare("SELECT max(coalesce((SELECT max(id) FROM recycle_bin), 0), "
                           "coalesce((SELECT seq FROM sqlite_sequence "
                           "WHERE name = 'recycle_bin'), 0))");
    std::int64_t highest = seq.Step() ? seq.Int(0) : 0;
    seq.Reset();
    std::vector<DirEntry> entries;
    if (files_.Find(BinPath(drive) + "\\D*", entries) == ERROR_SUCCESS) {
        for (const auto& e : entries)
            highest = std::max(highest, StoredNumber(e.longName, drive));
    }
    return highest + 1;
}

void RecycleBin::Insert(const RecycledItem& item) {
    files_.machine().Changes().RecycleChanging(item.id, true);
    files_.machine()
        .store()
        .Prepare("INSERT INTO recycle_bin(id, drive, stored, original, deleted, size, folder) "
                 "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")
        .Bind(1, item.id)
        .Bind(2, std::string(1, item.drive))
        .Bind(3, win::FromAnsi(item.stored))
        .Bind(4, win::FromAnsi(item.original))
        .Bind(5, item.deleted)
        .Bind(6, static_cast<std::int64_t>(item.size))
        .Bind(7, std::int64_t{item.folder})
        .Run();
}

void RecycleBin::Forget(std::int64_t id) {
    files_.machine().Changes().RecycleChanging(id, false);
    files_.machine().store().Prepare("DELETE FROM recycle_bin WHERE id = ?1").Bind(1, id).Run();
}

DWORD RecycleBin::Recycle(std::string_view path, RecycledItem* out) {
    // A restore or an empty under way finishes first.
    auto lock = NamedLock::Wait(files_.machine(), kLockName, kLockWait);
    if (!lock)
        return ERROR_BUSY;
    RecycledItem item;
    if (DWORD rc = files_.LongPath(path, item.original); rc != ERROR_SUCCESS)
        return rc;
    WinPath parsed;
    if (DWORD rc = ParseWinPath(item.original, "C:\\", parsed); rc != ERROR_SUCCESS)
        return rc;
    if (parsed.IsRoot() || InBin(parsed))
        return ERROR_ACCESS_DENIED;
    DirEntry entry;
    if (DWORD rc = files_.Stat(item.original, entry); rc != ERROR_SUCCESS)
        return rc;
    item.drive = parsed.drive;
    item.folder = entry.IsDirectory();
    if (DWORD rc = files_.TreeSize(item.original, item.size); rc != ERROR_SUCCESS)
        return rc;
    if (DWORD rc = EnsureFolder(item.drive); rc != ERROR_SUCCESS)
        return rc;
    std::string extension = Extension(entry.shortName);
    DWORD rc = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < kAttempts && rc == ERROR_ALREADY_EXISTS; ++attempt) {
        item.id = NextNumber(item.drive);
        item.stored = "D" + std::string(1, item.drive) + Number(item.id) + extension;
        item.deleted = TimeStamp();
        rc = files_.MoveAndRecord(item.original, item.StoredPath(), [&] {
            Insert(item);
            files_.machine().Journal("recycle " + Shown(item.original) + " -> " +
                                     Shown(item.StoredPath()) + " (" + Number(item.size) +
                                     " bytes)");
        });
    }
    if (rc == ERROR_SUCCESS && out)
        *out = item;
    return rc;
}

std::vector<RecycledItem> RecycleBin::Items() {
    std::vector<RecycledItem> items;
    auto& stmt = files_.machine().store().Prepare(
        "SELECT id, drive, stored, original, deleted, size, folder FROM recycle_bin ORDER BY id");
    while (stmt.Step()) {
        RecycledItem item;
        item.id = stmt.Int(0);
        std::string drive = stmt.Text(1);
        item.drive = drive.size() == 1 ? drive[0] : '?';
        item.stored = win::ToAnsi(stmt.Text(2));
        item.original = win::ToAnsi(stmt.Text(3));
        item.deleted = stmt.Text(4);
        item.size = static_cast<std::uint64_t>(std::max<std::int64_t>(stmt.Int(5), 0));
        item.folder = stmt.Int(6) != 0;
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<RecycledItem> RecycleBin::Item(std::int64_t id) {
    for (auto& item : Items()) {
        if (item.id == id)
            return item;
    }
    return std::nullopt;
}

DWORD RecycleBin::MakeParents(const std::string& path, std::string& why) {
    WinPath parsed;
    ParseWinPath(path, "C:\\", parsed);
    WinPath parent{parsed.drive, {}, false};
    for (size_t i = 0; i + 1 < parsed.components.size(); ++i) {
        parent.components.push_back(parsed.components[i]);
        std::string folder = parent.ToString();
        DirEntry entry;
        DWORD rc = files_.Stat(folder, entry);
        if (rc == ERROR_SUCCESS && entry.IsDirectory())
            continue;
        if (rc == ERROR_SUCCESS) {
            why = Shown(folder) + " is a file where the item's folder was";
            return ERROR_PATH_NOT_FOUND;
        }
        if (rc == ERROR_FILE_NOT_FOUND)
            rc = files_.CreateDirectory(folder);
        if (rc != ERROR_SUCCESS) {
            why = "cannot create the folder " + Shown(folder) + " (" + ErrorText(rc) + ")";
            return rc;
        }
    }
    return ERROR_SUCCESS;
}

DWORD RecycleBin::Restore(std::int64_t id, std::string& why) {
    auto lock = NamedLock::Try(files_.machine(), kLockName);
    if (!lock) {
        why = "item " + Number(id) + " not restored: " + kBusy;
        return ERROR_BUSY;
    }
    auto item = Item(id);
    if (!item) {
        why = "no item " + Number(id) + " in the recycle bin";
        return ERROR_FILE_NOT_FOUND;
    }
    if (auto damage = Damage(*item)) {
        why = "item " + Number(id) + " not restored: its record is damaged (" + *damage + ")";
        return ERROR_INVALID_DATA;
    }
    if (!files_.machine().FindDrive(item->drive)) {
        why = "item " + Number(id) + " belongs to drive " + std::string(1, item->drive) +
              ":, which this machine does not have";
        return ERROR_INVALID_DRIVE;
    }
    std::string stored = item->StoredPath();
    std::string original = item->original;
    DirEntry entry;
    if (DWORD rc = files_.Stat(stored, entry); rc != ERROR_SUCCESS) {
        why = rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND
                  ? Shown(stored) + " is no longer in the bin"
                  : "cannot reach " + Shown(stored) + " (" + ErrorText(rc) + ")";
        return rc;
    }
    auto occupied = [&] {
        why = Shown(original) + " exists already; move it away, then restore again";
        return ERROR_ALREADY_EXISTS;
    };
    if (files_.Stat(original, entry) == ERROR_SUCCESS)
        return occupied();
    if (DWORD rc = MakeParents(original, why); rc != ERROR_SUCCESS)
        return rc;
    DWORD rc = files_.MoveAndRecord(stored, original, [&] {
        Forget(id);
        files_.machine().Journal("restore " + Shown(stored) + " -> " + Shown(original));
    });
    if (rc == ERROR_ALREADY_EXISTS)
        return occupied();
    if (rc != ERROR_SUCCESS)
        why = "cannot move " + Shown(stored) + " back to " + Shown(original) + " (" +
              ErrorText(rc) + ")";
    return rc;
}

void RecycleBin::EmptyItem(const RecycledItem& item, EmptyReport& report) {
    Machine& machine = files_.machine();
    std::string label = "item " + Number(item.id) + " (" + Shown(item.original) + ")";
    if (auto damage = Damage(item)) {
        Transaction txn(machine.store());
        Forget(item.id);
        machine.Journal("recycle drop damaged record " + Number(item.id));
        txn.Commit();
        report.problems.push_back("record " + Number(item.id) +
                                  " dropped, nothing deleted: " + *damage);
        return;
    }
    std::string stored = item.StoredPath();
    Transaction txn(machine.store());
    DirEntry entry;
    DWORD rc = files_.Stat(stored, entry);
    if (rc == ERROR_SUCCESS)
        rc = files_.DeleteTree(stored);
    else if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND)
        rc = ERROR_SUCCESS; // gone already: only the record is left to drop
    if (rc != ERROR_SUCCESS) {
        report.problems.push_back(label + " left: cannot delete " + Shown(stored) + " (" +
                                  ErrorText(rc) + ")");
        return;
    }
    Forget(item.id);
    machine.Journal("recycle empty " + Shown(stored) + " (" + Shown(item.original) + ")");
    txn.Commit();
    ++report.items;
}

void RecycleBin::EmptyOthers(char drive, EmptyReport& report) {
    std::string bin = BinPath(drive);
    std::vector<DirEntry> entries;
    if (files_.Find(bin + "\\*", entries) != ERROR_SUCCESS)
        return;
    for (const auto& e : entries) {
        if (e.longName == "." || e.longName == "..")
            continue;
        std::string path = bin + "\\" + e.longName;
        if (DWORD rc = files_.DeleteTree(path); rc != ERROR_SUCCESS) {
            report.problems.push_back("cannot delete " + Shown(path) + " (" + ErrorText(rc) + ")");
            continue;
        }
        ++report.others;
    }
}

EmptyReport RecycleBin::Empty() {
    EmptyReport report;
    auto lock = NamedLock::Try(files_.machine(), kLockName);
    if (!lock) {
        report.problems.push_back(std::string("nothing deleted: ") + kBusy);
        return report;
    }
    for (const auto& item : Items())
        EmptyItem(item, report);
    for (const auto& drive : files_.machine().Drives()) {
        if (drive.HasMedium() && !drive.ReadOnly())
            EmptyOthers(drive.letter, report);
    }
    return report;
}

} // namespace portable
