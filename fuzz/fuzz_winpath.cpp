// Windows path parsing and the machine's file system on arbitrary paths. The first input
// byte picks what is tried besides the lookups (bit 0 create folder, 1 create file, 2 write
// existing file, 3 delete file, 4 remove folder, 5 set attributes, read-only when bit 7 is
// set too; bit 6 allows a wildcard leaf); the rest is the path.
//
// The machine lives in a temporary folder beside a folder it must never reach: symbolic
// links inside drive C: (and inside the CD-ROM folder mapped as D:) point at a file and a
// folder outside. After every input nothing outside the machine folder may have changed,
// appeared or vanished, and every host path the file system hands out must lie inside a
// drive's folder. Drive C: is then brought back to its first state, so each input starts
// from the same machine.
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/win_path.h"
#include "platform/portable/machine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using portable::DirEntry;
using portable::FileSystem;
using portable::OpenMode;
using portable::UniqueFd;
using portable::WinPath;

struct State {
    mode_t mode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    std::string target; // of a symbolic link
    bool operator==(const State&) const = default;
};

using Tree = std::map<std::string, State>;

[[noreturn]] void Fail(const std::string& what, std::string_view path) {
    std::fprintf(stderr, "fuzz_winpath: %s (path \"%.*s\")\n", what.c_str(),
                 static_cast<int>(path.size()), path.data());
    std::abort();
}

// Every entry under root (by path relative to it), without following links; folder times
// are left out where they only record that something came and went inside.
void Walk(const std::string& root, const std::string& rel, const std::string& skip,
          bool folderTimes, Tree& tree) {
    std::string dir = rel.empty() ? root : root + "/" + rel;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = rel.empty() ? name : rel + "/" + name;
        if (path == skip)
            continue;
        struct stat st;
        if (::fstatat(dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        State s;
        s.mode = st.st_mode;
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            ssize_t n = ::readlinkat(dirfd(d), name.c_str(), target, sizeof target);
            s.target.assign(target, n > 0 ? static_cast<size_t>(n) : 0);
        } else if (!S_ISDIR(st.st_mode) || folderTimes) {
            s.size = S_ISDIR(st.st_mode) ? 0 : st.st_size;
            s.modifiedNs = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
        }
        tree[path] = s;
        if (S_ISDIR(st.st_mode))
            Walk(root, path, skip, folderTimes, tree);
    }
    ::closedir(d);
}

Tree Snapshot(const fs::path& root, const std::string& skip, bool folderTimes) {
    Tree tree;
    Walk(root.string(), "", skip, folderTimes, tree);
    return tree;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct World {
    fs::path base;    // the temporary folder holding all of it
    fs::path machine; // the machine folder
    fs::path driveC;
    fs::path outside; // must never be touched
    fs::path secret;  // a file in it the links point at
    fs::path cd;      // mapped as the CD-ROM drive D:
    std::string secretText = "outside the machine: never to be changed\n";
    Tree outsideTree; // everything but the machine folder
    Tree baseline;    // drive C: as created
    fs::path canonicalMachine, canonicalCd;

    void Build() {
        portable::UseMachine(nullptr);
        fs::remove_all(machine);
        auto m = portable::Machine::Create(machine);
        m->MapRunOnlyDrive('D', cd);
        portable::UseMachine(std::move(m));
        fs::create_symlink(secret, driveC / "link");
        fs::create_symlink(outside, driveC / "linkdir");
        fs::create_symlink("../..", driveC / "WINDOWS" / "up");
        fs::create_symlink(secret, driveC / "WINDOWS" / "TEMP" / "secret.txt");
        baseline = Snapshot(driveC, "", false);
        canonicalMachine = fs::canonical(machine);
    }

    World() {
        char pattern[] = "/tmp/zep-fuzz-winpath-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        base = pattern;
        machine = base / "machine";
        driveC = machine / "drive_c";
        outside = base / "outside";
        secret = outside / "secret.txt";
        cd = base / "cd";
        fs::create_directories(outside / "sub");
        std::ofstream(secret) << secretText;
        fs::create_directories(cd / "DISK1");
        std::ofstream(cd / "SETUP.INF") << "[setup]\n";
        fs::create_symlink(outside, cd / "ELSEWHERE");
        fs::create_symlink(secret, cd / "DISK1" / "SECRET.TXT");
        canonicalCd = fs::canonical(cd);
        Build();
        outsideTree = Snapshot(base, "machine", true);
    }

    ~World() {
        portable::UseMachine(nullptr);
        std::error_code ec;
        fs::remove_all(base, ec);
    }

    void CheckOutside(std::string_view path) {
        if (Snapshot(base, "machine", true) != outsideTree)
            Fail("something outside the machine folder changed", path);
        if (ReadAll(secret) != secretText)
            Fail("the file outside the machine was modified", path);
    }

    // Removes what the input made on drive C:; rebuilds the machine when it changed what
    // was there before.
    void Restore(bool attributesChanged) {
        Tree now = Snapshot(driveC, "", false);
        bool damaged = attributesChanged;
        for (const auto& [name, state] : baseline) {
            auto it = now.find(name);
            damaged = damaged || it == now.end() || it->second != state;
        }
        if (damaged) {
            Build();
            return;
        }
        for (const auto& [name, state] : now) {
            if (!baseline.count(name))
                fs::remove_all(driveC / name); // a folder first, then its (gone) contents
        }
    }

    bool InsideDrive(const fs::path& host) const {
        std::error_code ec;
        fs::path c = fs::weakly_canonical(host, ec);
        if (ec)
            return false;
        auto under = [&](const fs::path& root) {
            auto r = c.lexically_relative(root);
            return !r.empty() && *r.begin() != "..";
        };
        return under(canonicalMachine / "drive_c") || under(canonicalCd);
    }
};

World& TheWorld() {
    static World* world = [] {
        auto* w = new World;
        std::atexit([] { delete &TheWorld(); });
        return w;
    }();
    return *world;
}

void CheckParsed(const WinPath& parsed, std::string_view path, bool wildcardLeaf) {
    if (parsed.drive < 'A' || parsed.drive > 'Z')
        Fail("parsed drive letter out of range", path);
    for (const auto& c : parsed.components) {
        if (c.empty() || c == "." || c == ".." || c.back() == '.' || c.back() == ' ')
            Fail("parsed component not normalised: \"" + c + "\"", path);
        for (unsigned char ch : c) {
            if (ch < 32 || ch == '\\' || ch == '/' || ch == ':' || ch == '"' || ch == '<' ||
                ch == '>' || ch == '|')
                Fail("parsed component holds a forbidden character", path);
        }
    }
    std::string full = parsed.ToString();
    if (full.size() >= MAX_PATH)
        Fail("parsed path too long", path);
    WinPath again;
    if (portable::ParseWinPath(full, "D:\\", again, wildcardLeaf) != ERROR_SUCCESS ||
        again.ToString() != full)
        Fail("parsing is not idempotent: \"" + full + "\"", path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0 || size > 600)
        return 0;
    World& world = TheWorld();
    const unsigned ops = data[0];
    const std::string path(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool wildcard = ops & 0x40;

    WinPath parsed;
    if (portable::ParseWinPath(path, "C:\\WINDOWS", parsed, wildcard) == ERROR_SUCCESS)
        CheckParsed(parsed, path, wildcard);

    FileSystem& files = portable::CurrentFileSystem();
    DirEntry entry;
    DWORD attributes = 0;
    std::string shortPath;
    std::vector<DirEntry> found;
    fs::path host;
    files.Stat(path, entry);
    const bool existed = files.GetAttributes(path, attributes) == ERROR_SUCCESS;
    const DWORD before = attributes & ~FILE_ATTRIBUTE_DIRECTORY;
    if (files.ShortPath(path, shortPath) == ERROR_SUCCESS &&
        files.Stat(shortPath, entry) != ERROR_SUCCESS)
        Fail("the short form \"" + shortPath + "\" names nothing", path);
    files.Find(path, found);
    if (files.HostPath(path, host) == ERROR_SUCCESS && !world.InsideDrive(host))
        Fail("host path outside the drives: " + host.string(), path);

    if (ops & 0x01)
        files.CreateDirectory(path);
    for (auto [bit, mode] :
         {std::pair{0x02u, OpenMode::CreateTruncate}, {0x04u, OpenMode::Write}}) {
        UniqueFd fd;
        if ((ops & bit) && files.Open(path, mode, fd) == ERROR_SUCCESS) {
            if (::write(fd.get(), "written", 7) != 7)
                Fail("cannot write an opened file", path);
        }
    }
    if (ops & 0x08)
        files.DeleteFile(path);
    if (ops & 0x10)
        files.RemoveDirectory(path);
    bool attributesChanged = false;
    if (ops & 0x20) {
        DWORD a = ops & 0x80 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
        // An entry that was there before gets its attributes back; a new one goes anyway.
        if (files.SetAttributes(path, a) == ERROR_SUCCESS && existed)
            attributesChanged = files.SetAttributes(path, before) != ERROR_SUCCESS;
    }

    world.CheckOutside(path);
    world.Restore(attributesChanged);
    return 0;
}
