// SHFileOperationA on the portable machine: FO_DELETE, into the recycle bin or for good.
//
// Unlike Windows, which deletes for good an item it cannot put in the bin, with
// FOF_ALLOWUNDO an item is moved or left where it is; and every path of the list is looked
// up before anything is done, so a misspelt path leaves the whole list untouched.
#include "platform/shell32.h"
#include "platform/text_lines.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/recycle_bin.h"
#include "platform/portable/store/sqlite_db.h"

#include <cstring>
#include <string>
#include <vector>

namespace win {
namespace {

// pFrom ends in two NULs; a list that runs on past this is no list a caller meant.
constexpr size_t kMaxListLength = 64 * 1024;

DWORD SplitList(LPCSTR list, std::vector<std::string>& out) {
    size_t at = 0;
    while (at < kMaxListLength && list[at] != '\0') {
        size_t length = ::strnlen(list + at, kMaxListLength - at);
        out.emplace_back(list + at, length);
        at += length + 1;
    }
    return at < kMaxListLength ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

bool HasWildcardLeaf(std::string_view path) {
    size_t leaf = path.find_last_of("\\/:");
    leaf = leaf == std::string_view::npos ? 0 : leaf + 1;
    return path.find_first_of("*?", leaf) != std::string_view::npos;
}

// The folder part of a pattern as written ("C:\A\*.TXT" -> "C:\A\", "C:*" -> "C:").
std::string FolderOf(std::string_view pattern) {
    size_t leaf = pattern.find_last_of("\\/:");
    return leaf == std::string_view::npos ? std::string()
                                          : std::string(pattern.substr(0, leaf + 1));
}

// The full long paths one entry of the list names: itself, or what its wildcard matches.
DWORD Expand(portable::FileSystem& files, const std::string& entry, FILEOP_FLAGS flags,
             std::vector<std::string>& out) {
    std::string full;
    if (!HasWildcardLeaf(entry)) {
        if (DWORD rc = files.LongPath(entry, full); rc != ERROR_SUCCESS)
            return rc;
        out.push_back(full);
        return ERROR_SUCCESS;
    }
    std::vector<portable::DirEntry> found;
    DWORD rc = files.Find(entry, found);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS; // as on Windows: a pattern matching nothing deletes nothing
    if (rc != ERROR_SUCCESS)
        return rc;
    for (const auto& e : found) {
        if (e.longName == "." || e.longName == "..")
            continue;
        if ((flags & FOF_FILESONLY) && e.IsDirectory())
            continue;
        if (DWORD rc = files.LongPath(FolderOf(entry) + e.longName, full); rc != ERROR_SUCCESS)
            return rc;
        out.push_back(full);
    }
    return ERROR_SUCCESS;
}

// True when path is folder or lies in it.
bool Within(std::string_view path, std::string_view folder) {
    if (!win::StartsWithNoCase(path, folder))
        return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || folder.ends_with('\\');
}

// An item named after a folder it lies in went with that folder.
std::vector<std::string> WithoutNested(const std::vector<std::string>& items) {
    std::vector<std::string> kept;
    for (const auto& item : items) {
        bool nested = false;
        for (const auto& earlier : kept)
            nested = nested || Within(item, earlier);
        if (!nested)
            kept.push_back(item);
    }
    return kept;
}

DWORD DeleteItem(portable::FileSystem& files, const std::string& item, FILEOP_FLAGS flags) {
    if (portable::RecycleBin::Holds(item))
        return ERROR_ACCESS_DENIED; // the bin's contents are the bin's to manage
    if (flags & FOF_ALLOWUNDO)
        return portable::RecycleBin(files).Recycle(item);
    return files.DeleteTree(item);
}

DWORD Delete(const SHFILEOPSTRUCTA& op, bool& started) {
    std::vector<std::string> entries;
    if (DWORD rc = SplitList(op.pFrom, entries); rc != ERROR_SUCCESS)
        return rc;
    if (entries.empty())
        return ERROR_ACCESS_DENIED; // what Windows answers to an empty list
    started = true;
    portable::FileSystem& files = portable::CurrentFileSystem();
    std::vector<std::string> items;
    for (const auto& entry : entries) {
        if (DWORD rc = Expand(files, entry, op.fFlags, items); rc != ERROR_SUCCESS)
            return rc;
    }
    for (const auto& item : WithoutNested(items)) {
        if (DWORD rc = DeleteItem(files, item, op.fFlags); rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

} // namespace

int SHFileOperationA(LPSHFILEOPSTRUCTA op) {
    if (!op)
        return ERROR_INVALID_PARAMETER;
    op->fAnyOperationsAborted = FALSE;
    if (op->wFunc == FO_MOVE || op->wFunc == FO_COPY || op->wFunc == FO_RENAME)
        return ERROR_CALL_NOT_IMPLEMENTED;
    if (op->wFunc != FO_DELETE || !op->pFrom)
        return ERROR_INVALID_PARAMETER;
    bool started = false;
    // A failure of the machine ends the list; what was moved to the recycle bin went back.
    DWORD rc = portable::Guarded<DWORD>(ERROR_WRITE_FAULT, [&] { return Delete(*op, started); });
    // Items were left undone: the system aborted them, as Windows says with this flag.
    if (rc != ERROR_SUCCESS && started)
        op->fAnyOperationsAborted = TRUE;
    return static_cast<int>(rc);
}

} // namespace win
