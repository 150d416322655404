// Taking a run back on a machine folder planted with links to the outside: hard links and
// symbolic links in a drive, read-only files, and kept contents swapped for a link before
// the undo. The undo puts the drive back and never reads or writes anything outside.
#include "platform/kernel32.h"

#include "platform/portable/machine.h"
#include "platform/portable/runs/run_log.h"
#include "platform/portable/runs/run_undo.h"
#include "platform/portable/store/machine_state.h"
#include "platform/portable/store/state_diff.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::TempDir;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

struct HostFile {
    std::string bytes;
    unsigned mode = 0;
    nlink_t links = 0;
    friend bool operator==(const HostFile&, const HostFile&) = default;
};
std::ostream& operator<<(std::ostream& out, const HostFile& f) {
    return out << '"' << f.bytes << "\" mode " << std::oct << f.mode << std::dec << " links "
               << f.links;
}

HostFile Look(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return {ReadHostFile(p), static_cast<unsigned>(st.st_mode & 07777), st.st_nlink};
}

std::string Describe(const portable::StateDiff& diff) {
    std::string out;
    for (const auto& d : diff.files)
        out += (d.Added()     ? "+ "
                : d.Removed() ? "- "
                              : "~ ") +
               (d.after ? d.after : d.before)->path + "\n";
    for (const auto& d : diff.keys)
        out += (d.Added() ? "+ key " : "- key ") + (d.after ? d.after : d.before)->path + "\n";
    for (const auto& d : diff.values)
        out += "value " + (d.after ? d.after : d.before)->key + "\\" +
               (d.after ? d.after : d.before)->name + "\n";
    for (const auto& d : diff.iniLines)
        out += "ini " + (d.after ? d.after : d.before)->line + "\n";
    return out;
}

class UndoConfinement : public ::testing::Test {
protected:
    TestMachine m;
    TempDir outside;

    // outside/name, 0644, with text.
    fs::path Canary(const std::string& name, const std::string& text) {
        fs::path p = outside.path() / name;
        WriteHostFile(p, text);
        fs::permissions(p, fs::perms(0644));
        return p;
    }
    // Ends this process's run (it is the run that changed the machine) and takes it back.
    // Ends this process's run; returns it.
    std::int64_t EndOwnRun() {
        portable::RunLog& runs = m.machine().Runs();
        std::int64_t run = runs.Current();
        EXPECT_NE(run, 0) << "the changes made no run";
        runs.End(portable::kRunFinished);
        return run;
    }
    portable::UndoReport Undo(std::int64_t run) {
        portable::UndoReport report = portable::UndoRun(m.machine(), run, false);
        m.machine().Runs().End(portable::kRunFinished);
        return report;
    }
    static bool Write(const char* path, DWORD disposition, const std::string& text) {
        HANDLE h = win::CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        BOOL ok =
            win::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        win::CloseHandle(h);
        return ok && written == text.size();
    }
};

TEST_F(UndoConfinement, LinkedAndReadOnlyFilesComeBackAndTheOutsideKeepsItsBytes) {
    struct Case {
        const char* path;
        bool symbolic; // else a hard link to the outside file
        std::function<bool(const char*)> change;
    };
    auto rewrite = [](const char* p) { return Write(p, CREATE_ALWAYS, "NEU"); };
    auto overwrite = [](const char* p) { return Write(p, OPEN_EXISTING, "NEU"); };
    auto remove = [](const char* p) { return win::DeleteFileA(p) != 0; };
    auto moveOver = [](const char* p) {
        return Write("C:\\quelle.txt", CREATE_ALWAYS, "Quelle") &&
               win::MoveFileExA("C:\\quelle.txt", p, MOVEFILE_REPLACE_EXISTING) != 0;
    };
    const Case cases[] = {
        {"C:\\hart1.txt", false, rewrite}, {"C:\\hart2.txt", false, overwrite},
        {"C:\\hart3.txt", false, remove},  {"C:\\hart4.txt", false, moveOver},
        {"C:\\sym1.txt", true, rewrite},   {"C:\\sym2.txt", true, moveOver},
        {"C:\\sym3.txt", true, remove},
    };
    std::map<std::string, fs::path> canaries;
    for (const Case& c : cases) {
        fs::path canary = Canary(c.path + 3, std::string("Urzustand ") + c.path);
        fs::path inside = m.DriveC() / (c.path + 3);
        c.symbolic ? fs::create_symlink(canary, inside) : fs::create_hard_link(canary, inside);
        canaries[c.path] = canary;
    }
    // Read-only files: one rewritten, one deleted, one made and marked read-only.
    WriteHostFile(m.DriveC() / "nurlesen1.txt", "eins");
    WriteHostFile(m.DriveC() / "nurlesen2.txt", "zwei");
    {
        // Marking them is a change of its own run, ended before the state is taken.
        ASSERT_TRUE(win::SetFileAttributesA("C:\\nurlesen1.txt", FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(win::SetFileAttributesA("C:\\nurlesen2.txt", FILE_ATTRIBUTE_READONLY));
        m.machine().Runs().End(portable::kRunFinished);
    }
    std::map<std::string, HostFile> outsideBefore;
    for (const auto& [path, canary] : canaries)
        outsideBefore[path] = Look(canary);
    const portable::MachineState before = portable::CaptureState(m.machine());

    // A symbolic link's name is not the machine's: the drive may refuse to change it;
    // either way the outside file stays as it is.
    for (const Case& c : cases)
        EXPECT_TRUE(c.change(c.path) || c.symbolic) << c.path;
    ASSERT_TRUE(win::SetFileAttributesA("C:\\nurlesen1.txt", FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(Write("C:\\nurlesen1.txt", CREATE_ALWAYS, "anders"));
    ASSERT_TRUE(win::SetFileAttributesA("C:\\nurlesen2.txt", FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(win::DeleteFileA("C:\\nurlesen2.txt"));
    ASSERT_TRUE(Write("C:\\nurlesen3.txt", CREATE_NEW, "neu"));
    ASSERT_TRUE(win::SetFileAttributesA("C:\\nurlesen3.txt", FILE_ATTRIBUTE_READONLY));

    // The run gave each hard-linked name a file of its own: the outside file lost a link
    // then. The undo may not give it back (that would tie the drive to the outside file
    // again), nor touch it in any other way.
    std::map<std::string, HostFile> outsideAfterRun;
    for (const auto& [path, canary] : canaries) {
        outsideAfterRun[path] = Look(canary);
        EXPECT_EQ(outsideAfterRun[path].bytes, outsideBefore[path].bytes) << path;
        EXPECT_EQ(outsideAfterRun[path].mode, outsideBefore[path].mode) << path;
    }
    portable::UndoReport report = Undo(EndOwnRun());
    EXPECT_EQ(report.failed, std::vector<std::string>{});
    portable::StateDiff diff = portable::CompareStates(before, portable::CaptureState(m.machine()));
    EXPECT_TRUE(diff.Empty()) << Describe(diff);
    for (const auto& [path, canary] : canaries)
        EXPECT_EQ(Look(canary), outsideAfterRun[path]) << path;
    for (const Case& c : cases) {
        fs::path inside = m.DriveC() / (c.path + 3);
        if (c.symbolic) {
            EXPECT_EQ(fs::read_symlink(inside), canaries[c.path]) << c.path;
            continue;
        }
        // The hard link's contents are back in a file of the machine's own.
        EXPECT_EQ(ReadHostFile(inside), std::string("Urzustand ") + c.path);
        EXPECT_FALSE(fs::equivalent(inside, canaries[c.path])) << c.path;
    }
    EXPECT_EQ(ReadHostFile(m.DriveC() / "nurlesen1.txt"), "eins");
    EXPECT_EQ(ReadHostFile(m.DriveC() / "nurlesen2.txt"), "zwei");
    EXPECT_EQ(win::GetFileAttributesA("C:\\nurlesen2.txt"), DWORD{FILE_ATTRIBUTE_READONLY});
    EXPECT_FALSE(fs::exists(m.DriveC() / "nurlesen3.txt"));
}

TEST_F(UndoConfinement, AKeptFileSwappedForALinkIsNotFollowed) {
    fs::path secret = Canary("secret.txt", "geheim");
    const HostFile outsideBefore = Look(secret);
    WriteHostFile(m.DriveC() / "opfer.txt", "Opfer");
    WriteHostFile(m.DriveC() / "opfer2.txt", "Opfer2");
    ASSERT_TRUE(win::DeleteFileA("C:\\opfer.txt"));
    ASSERT_TRUE(Write("C:\\opfer2.txt", CREATE_ALWAYS, "neu"));
    std::int64_t run = EndOwnRun();
    std::vector<portable::FileChange> changes = m.machine().Runs().FileChanges(run);
    int swapped = 0;
    for (const auto& change : changes) {
        if (change.kept.empty())
            continue;
        fs::path kept = m.root() / "runs" / "kept" / change.kept;
        ASSERT_TRUE(fs::is_regular_file(kept)) << kept;
        fs::remove(kept);
        fs::create_symlink(secret, kept);
        ++swapped;
    }
    ASSERT_EQ(swapped, 2);

    portable::UndoReport report = Undo(run);
    ASSERT_EQ(report.failed.size(), 2u);
    EXPECT_NE(report.failed[0].find("C:\\opfer"), std::string::npos) << report.failed[0];
    EXPECT_EQ(Look(secret), outsideBefore);
    EXPECT_FALSE(fs::exists(m.DriveC() / "opfer.txt"));
    EXPECT_EQ(ReadHostFile(m.DriveC() / "opfer2.txt"), "neu");
}

} // namespace
