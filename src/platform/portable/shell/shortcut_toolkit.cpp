// The shortcut toolkit on the portable machine: folders and .lnk files under the Programs
// folder the machine's registry names, through the machine's file system (so aliases,
// read-only entries, drive rules and confinement apply, and every change is journalled).
// A folder argument is joined to the Programs folder and normalised as Win32 normalises a
// full path: '..' stops at the drive's root, so no argument leads off the drive.
// Left out: hot keys, descriptions, relative paths and the ID list of the shell's own
// links (see shell_link.h); the machine keeps no volume serial numbers or labels, so each
// drive letter has a fixed serial number and no label.
#include "platform/shortcut_toolkit.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/win_path.h"
#include "platform/portable/shell/shell_link.h"
#include "platform/shell_folders.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <optional>
#include <unistd.h>

namespace win {
namespace {

using portable::FileSystem;
using portable::WinPath;

constexpr std::uint32_t kSerialBase = 0x1E2D3C00;
constexpr std::uint64_t kEpochDifference = 116444736000000000ULL; // 1601 to 1970 in 100 ns
constexpr int kTemporaryNameTries = 16;

FileSystem& Files() {
    return portable::CurrentFileSystem();
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// "X:\..." and nothing else: a relative path would depend on the current folder.
bool IsFullPath(std::string_view path) {
    return path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]);
}

// The folder a folder argument names: Programs joined with it, normalised.
bool ResolveFolder(LPCSTR folder, WinPath& out) {
    auto programs = ProgramsFolder();
    if (!programs)
        return false;
    // The separator between makes a leading '\' of the argument an empty component.
    std::string joined = *programs + "\\" + (folder ? folder : "");
    return portable::ParseWinPath(joined, *programs, out) == ERROR_SUCCESS;
}

// folder\linkName.lnk, when linkName is one valid name.
bool LinkPath(const WinPath& folder, LPCSTR linkName, std::string& out) {
    if (!linkName || !*linkName)
        return false;
    std::string_view name(linkName);
    if (name.find_first_of("\\/") != std::string_view::npos)
        return false;
    WinPath parsed;
    std::string path = folder.ToString();
    if (!IsSeparator(path.back()))
        path += '\\';
    path += name;
    path += ".lnk";
    if (portable::ParseWinPath(path, "C:\\", parsed) != ERROR_SUCCESS ||
        parsed.components.size() != folder.components.size() + 1)
        return false;
    out = parsed.ToString();
    return true;
}

bool IsFolder(const std::string& path) {
    portable::DirEntry entry;
    return Files().Stat(path, entry) == ERROR_SUCCESS && entry.IsDirectory();
}

// Creates path and every missing folder above it.
bool CreateFolders(const WinPath& path) {
    WinPath prefix{path.drive, {}, false};
    for (const auto& component : path.components) {
        prefix.components.push_back(component);
        std::string step = prefix.ToString();
        if (IsFolder(step))
            continue;
        DWORD rc = Files().CreateDirectory(step);
        if (rc != ERROR_SUCCESS && !(rc == ERROR_ALREADY_EXISTS && IsFolder(step)))
            return false;
    }
    return true;
}

FILETIME ToFileTime(std::int64_t ns) {
    std::uint64_t ticks = static_cast<std::uint64_t>(ns / 100) + kEpochDifference;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The link as the shell makes it for target: its folder to work in, its first icon, the
// target's attributes, times and size when it exists, and the volume it lies on.
portable::ShellLink Describe(const WinPath& target, std::string_view arguments) {
    portable::ShellLink link;
    link.target = target.ToString();
    WinPath folder = target;
    if (!folder.components.empty())
        folder.components.pop_back();
    link.workingDir = folder.ToString();
    link.arguments = arguments;
    link.iconLocation = link.target;
    link.iconIndex = 0;
    link.showCommand = portable::kShowNormal;
    portable::DirEntry entry;
    if (Files().Stat(link.target, entry) == ERROR_SUCCESS) {
        link.fileAttributes = entry.attributes ? entry.attributes : FILE_ATTRIBUTE_NORMAL;
        link.creationTime = link.accessTime = link.writeTime = ToFileTime(entry.modifiedNs);
        link.fileSize = static_cast<std::uint32_t>(entry.size);
    }
    link.driveType = Files().DriveType(std::string{target.drive, ':', '\\'});
    link.driveSerial = kSerialBase + static_cast<unsigned char>(target.drive);
    return link;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return ::fsync(fd) == 0;
}

// A new file beside the link, so that the rename over the link is one step on the host.
bool CreateTemporary(const WinPath& folder, std::string& path, portable::UniqueFd& fd) {
    using D = portable::OpenRequest::Disposition;
    const unsigned seed = static_cast<unsigned>(::getpid());
    for (int i = 0; i < kTemporaryNameTries; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "~LNK%04X.TMP", (seed + i) & 0xFFFF);
        WinPath candidate = folder;
        candidate.components.emplace_back(name);
        path = candidate.ToString();
        DWORD rc = Files().Open(path, portable::OpenRequest{false, true, D::CreateNew, true}, fd);
        if (rc == ERROR_SUCCESS)
            return true;
        if (rc != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

// Writes bytes to path whole or not at all.
bool ReplaceFile(const WinPath& folder, const std::string& path, std::string_view bytes) {
    std::string temporary;
    bool written;
    {
        portable::UniqueFd fd;
        if (!CreateTemporary(folder, temporary, fd))
            return false;
        written = WriteAll(fd.get(), bytes);
    }
    if (written && Files().Move(temporary, path, true) == ERROR_SUCCESS)
        return true;
    Files().DeleteFile(temporary); // the old link stays as it was
    return false;
}

LONG CreateLink(LPCSTR folder, LPCSTR linkName, LPCSTR target, LPCSTR arguments) {
    WinPath dir, targetPath;
    std::string path, bytes;
    if (!ResolveFolder(folder, dir) || !LinkPath(dir, linkName, path))
        return 0;
    if (!target || !IsFullPath(target) ||
        portable::ParseWinPath(target, "C:\\", targetPath) != ERROR_SUCCESS)
        return 0;
    portable::ShellLink link = Describe(targetPath, arguments ? arguments : "");
    if (!portable::EncodeShellLink(link, bytes))
        return 0;
    // A missing folder is made: callers do not look at the result, and a link placed
    // beats a link lost.
    if (!CreateFolders(dir) || !ReplaceFile(dir, path, bytes))
        return 0;
    std::string entry = "shortcut " + path + " -> " + link.target;
    if (!link.arguments.empty())
        entry += " " + link.arguments;
    Files().machine().Journal(FromAnsi(entry));
    return 1;
}

} // namespace

LONG fCreateShellFolder(LPCSTR folder) {
    return portable::Guarded<LONG>(0, [&]() -> LONG {
        WinPath dir;
        return ResolveFolder(folder, dir) && CreateFolders(dir) ? 1 : 0;
    });
}

LONG fCreateShellLink(LPCSTR folder, LPCSTR linkName, LPCSTR target, LPCSTR arguments) {
    return portable::Guarded<LONG>(0,
                                   [&] { return CreateLink(folder, linkName, target, arguments); });
}

LONG fRemoveShellLink(LPCSTR folder, LPCSTR linkName) {
    return portable::Guarded<LONG>(0, [&]() -> LONG {
        WinPath dir;
        std::string path;
        if (!ResolveFolder(folder, dir) || !LinkPath(dir, linkName, path))
            return 0;
        return Files().DeleteFile(path) == ERROR_SUCCESS ? 1 : 0;
    });
}

} // namespace win
