// Taking a run back in-process: whatever a run did through the Windows calls, its undo
// leaves the machine as it was before it (by the state a snapshot compares), an undo can
// itself be taken back, and a later run's changes to the same items stop an undo unless
// it is forced.
#include "platform/advapi32.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"

#include "platform/portable/registry/regedit_import.h"
#include "platform/portable/runs/run_log.h"
#include "platform/portable/runs/run_undo.h"
#include "platform/portable/store/sqlite_db.h"
#include "platform/portable/store/state_diff.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

using portable::CaptureState;
using portable::CompareStates;
using portable::MachineState;
using testing_support::TestMachine;

class RunUndo : public ::testing::Test {
protected:
    TestMachine m;

    portable::RunLog& Runs() { return m.machine().Runs(); }

    // Ends this process's run (as a process ending would) and returns its id.
    std::int64_t EndRun() {
        std::int64_t id = Runs().Current();
        Runs().End(portable::kRunFinished);
        return id;
    }

    static void Write(const char* path, const std::string& text,
                      DWORD disposition = CREATE_ALWAYS) {
        HANDLE h = win::CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        ASSERT_TRUE(
            win::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
        ASSERT_TRUE(win::CloseHandle(h));
    }

    static void SetValue(const char* key, const char* name, const char* text) {
        HKEY k = nullptr;
        ASSERT_EQ(
            win::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, 0, nullptr, &k, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(win::RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                      static_cast<DWORD>(std::strlen(text) + 1)),
                  ERROR_SUCCESS);
        win::RegCloseKey(k);
    }

    static void DeleteTree(const char* path) {
        std::string from = std::string(path) + '\0';
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT;
        ASSERT_EQ(win::SHFileOperationA(&op), 0) << path;
    }

    static std::string Differences(const MachineState& a, const MachineState& b) {
        auto diff = CompareStates(a, b);
        std::string text;
        for (const auto& f : diff.files)
            text += (f.Added()     ? "+ "
                     : f.Removed() ? "- "
                                   : "~ ") +
                    (f.before ? f.before : f.after)->path + "\n";
        for (const auto& k : diff.keys)
            text += (k.Added() ? "+ " : "- ") + (k.before ? k.before : k.after)->path + "\n";
        for (const auto& v : diff.values)
            text += (v.Added()     ? "+ "
                     : v.Removed() ? "- "
                                   : "~ ") +
                    (v.before ? v.before : v.after)->key + " " +
                    (v.before ? v.before : v.after)->name + "\n";
        return text;
    }

    // What the machine held before: files of every kind of attribute, a folder tree, an
    // INI file, registry keys and values.
    void MakeBefore() {
        ASSERT_TRUE(win::CreateDirectoryA("C:\\ALT", nullptr));
        ASSERT_TRUE(win::CreateDirectoryA("C:\\ALT\\TIEF", nullptr));
        Write("C:\\ALT\\A.TXT", "alpha");
        Write("C:\\ALT\\TIEF\\B.TXT", "beta");
        Write("C:\\ALT\\NUR.TXT", "lesen");
        ASSERT_TRUE(win::SetFileAttributesA("C:\\ALT\\NUR.TXT", FILE_ATTRIBUTE_READONLY));
        Write("C:\\ERSETZT.TXT", "alt");
        Write("C:\\BLEIBT.TXT", "bleibt");
        ASSERT_TRUE(win::CreateDirectoryA("C:\\LEER", nullptr));
        ASSERT_TRUE(win::WritePrivateProfileStringA("Alt", "Wert", "1", "C:\\WINDOWS\\ZEP.INI"));
        SetValue("SOFTWARE\\Alt\\Tief", "Wert", "alt");
        SetValue("SOFTWARE\\Alt", "Bleibt", "ja");
        SetValue("SOFTWARE\\Zweig", "Weg", "bald");
        EndRun();
    }

    // A run that changes every kind of item in every way a program can.
    void ChangeEverything() {
        Write("C:\\ALT\\A.TXT", "neu", OPEN_EXISTING);               // rewritten in place
        Write("C:\\ALT\\TIEF\\B.TXT", "", TRUNCATE_EXISTING);        // emptied
        ASSERT_TRUE(win::SetFileAttributesA("C:\\ALT\\NUR.TXT", 0)); // read-only cleared
        ASSERT_TRUE(win::DeleteFileA("C:\\ALT\\NUR.TXT"));
        ASSERT_TRUE(
            win::MoveFileExA("C:\\BLEIBT.TXT", "C:\\ERSETZT.TXT", MOVEFILE_REPLACE_EXISTING));
        ASSERT_TRUE(win::MoveFileA("C:\\LEER", "C:\\UMBENANNT")); // a folder renamed
        ASSERT_TRUE(win::CreateDirectoryA("C:\\NEU", nullptr));
        Write("C:\\NEU\\C.TXT", "gamma");
        ASSERT_TRUE(win::SetFileAttributesA("C:\\NEU\\C.TXT", FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(win::WritePrivateProfileStringA("Alt", "Wert", "2", "C:\\WINDOWS\\ZEP.INI"));
        ASSERT_TRUE(win::WritePrivateProfileStringA("Neu", "X", "y", "C:\\WINDOWS\\ZEP.INI"));
        DeleteTree("C:\\ALT\\TIEF");
        SetValue("SOFTWARE\\Alt\\Tief", "Wert", "neu");
        SetValue("SOFTWARE\\Neu\\Unter", "", "leer");
        HKEY alt = nullptr;
        ASSERT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Alt", 0, 0, &alt),
                  ERROR_SUCCESS);
        ASSERT_EQ(win::RegDeleteValueA(alt, "Bleibt"), ERROR_SUCCESS);
        win::RegCloseKey(alt);
        ASSERT_EQ(win::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zweig"), ERROR_SUCCESS);
        SetValue("SOFTWARE\\Zweig", "Weg", "wieder"); // made again, other id
    }
};

TEST_F(RunUndo, AnUndoLeavesTheMachineAsBeforeAndCanItselfBeTakenBack) {
    MakeBefore();
    MachineState before = CaptureState(m.machine());
    ChangeEverything();
    std::int64_t run = EndRun();
    MachineState after = CaptureState(m.machine());
    ASSERT_FALSE(CompareStates(before, after).Empty());

    portable::UndoReport report = portable::UndoRun(m.machine(), run, false);
    EXPECT_TRUE(report.failed.empty()) << report.failed.front();
    std::int64_t undo = EndRun();
    EXPECT_EQ(report.undoRun, undo);
    EXPECT_EQ(Differences(before, CaptureState(m.machine())), "");
    EXPECT_EQ(Runs().Find(run)->undoneBy, undo);
    EXPECT_THROW(portable::UndoRun(m.machine(), run, false), portable::UndoRefused);

    // The undo taken back: the run's changes are there again, and the run undoable again.
    report = portable::UndoRun(m.machine(), undo, false);
    EXPECT_TRUE(report.failed.empty()) << report.failed.front();
    EndRun();
    EXPECT_EQ(Differences(after, CaptureState(m.machine())), "");
    EXPECT_EQ(Runs().Find(run)->undoneBy, 0);
}

// Only a later run on the same items stands in the way (one on other items does not).
TEST_F(RunUndo, ALaterRunOnOtherItemsDoesNotStopTheUndo) {
    MakeBefore();
    MachineState before = CaptureState(m.machine());
    Write("C:\\ALT\\A.TXT", "erster");
    SetValue("SOFTWARE\\Alt", "Bleibt", "erster");
    std::int64_t first = EndRun();
    Write("C:\\ALT\\ANDERS.TXT", "daneben");
    SetValue("SOFTWARE\\Alt", "Daneben", "ja");
    EndRun();
    portable::UndoReport report = portable::UndoRun(m.machine(), first, false);
    EXPECT_TRUE(report.overwritten.empty());
    EndRun();
    EXPECT_EQ(Differences(before, CaptureState(m.machine())),
              "+ C:\\ALT\\ANDERS.TXT\n+ HKEY_LOCAL_MACHINE\\SOFTWARE\\Alt Daneben\n");
}

} // namespace

namespace {

// Another process of the machine that is still running (its run's lock held), whatever
// files it may have open: an undo waits for the machine to itself and changes nothing.
TEST_F(RunUndo, AnUndoWaitsWhileAnotherRunIsAlive) {
    Write("C:\\A.TXT", "eins");
    std::int64_t run = EndRun();
    // Another process's run: its row, and its lock held (a second open is a second holder).
    portable::Database& store = m.machine().store();
    store.Exec("INSERT INTO runs(program, command, started) VALUES('andere', 'andere', 'jetzt')");
    std::int64_t other = store.LastInsertId();
    int fd = ::open((m.root() / "runs" / (std::to_string(other) + ".lock")).c_str(),
                    O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    try {
        portable::UndoRun(m.machine(), run, false);
        ADD_FAILURE() << "the undo went through";
    } catch (const portable::UndoRefused& e) {
        EXPECT_NE(std::string(e.what()).find("(andere) is running; an undo needs the machine"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(testing_support::ReadHostFile(m.DriveC() / "A.TXT"), "eins");
    ::close(fd);
    EXPECT_NO_THROW(portable::UndoRun(m.machine(), run, false));
    EXPECT_FALSE(std::filesystem::exists(m.DriveC() / "A.TXT"));
}

} // namespace

// A process that joined a run whose first process has since ended (it outlived it) makes
// its later changes a run of its own: none goes to a record nobody reads again.
TEST_F(RunUndo, AProcessOutlivingItsRunBeginsOneOfItsOwn) {
    portable::Database& store = m.machine().store();
    store.Exec("INSERT INTO runs(program, command, started) VALUES('eltern', 'eltern', 'jetzt')");
    std::int64_t parent = store.LastInsertId();
    std::filesystem::create_directories(m.root() / "runs");
    std::filesystem::path lock = m.root() / "runs" / (std::to_string(parent) + ".lock");
    int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    ::setenv("ZEPSETUP_RUN", std::to_string(parent).c_str(), 1);
    Write("C:\\A.TXT", "eins");
    EXPECT_EQ(Runs().Current(), parent);
    // The parent ends as End does: its row gets an end, its file goes.
    store.Exec("UPDATE runs SET ended = 'dann', outcome = 'finished' WHERE id = " +
               std::to_string(parent));
    ::unlink(lock.c_str());
    ::close(fd);
    Write("C:\\B.TXT", "zwei");
    std::int64_t own = EndRun();
    EXPECT_NE(own, parent);
    auto changes = Runs().FileChanges(own);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].path, "C:\\B.TXT");
}

// A change whose transaction rolled back never happened: its run keeps no record of it,
// so taking the run back cannot touch what a later run makes of the same items; the same
// item changed again afterwards is recorded then.
TEST_F(RunUndo, ARolledBackChangeLeavesNoRecord) {
    SetValue("SOFTWARE\\Zep", "Wert", "1");
    EndRun();
    MachineState before = CaptureState(m.machine());
    portable::Database& store = m.machine().store();
    store.Exec("CREATE TEMP TRIGGER fail BEFORE INSERT ON reg_values WHEN NEW.name = 'boom' "
               "BEGIN SELECT RAISE(ABORT, 'injected'); END");
    std::string script = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Weg]\r\n\"a\"=\"1\"\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zep]\r\n\"Wert\"=\"2\"\r\n"
                         "\"boom\"=\"3\"\r\n";
    EXPECT_FALSE(portable::ImportRegistryScript(m.machine(), script, "fail.reg").accepted);
    store.Exec("DROP TRIGGER fail");
    SetValue("SOFTWARE\\Zep", "Wert", "4");
    // While the run goes on, its changes so far are counted from its file, as the store
    // counts them once it ended.
    std::int64_t told = Runs().Find(Runs().Current())->changes;
    std::int64_t run = EndRun();
    EXPECT_EQ(Runs().Find(run)->changes, told);
    auto count = [&](const char* name) {
        auto& stmt = store.Prepare("SELECT count(*) FROM run_rows WHERE run = ?1 AND name = ?2");
        stmt.Bind(1, run).Bind(2, name);
        std::int64_t n = stmt.Step() ? stmt.Int(0) : -1;
        stmt.Reset();
        return n;
    };
    EXPECT_EQ(count("Weg") + count("a") + count("boom"), 0);
    EXPECT_EQ(count("Wert"), 1);
    EXPECT_NO_THROW(portable::UndoRun(m.machine(), run, false));
    EndRun();
    EXPECT_EQ(Differences(before, CaptureState(m.machine())), "");
}

// Deleting a value that is not there changes nothing: the value set afterwards is still the
// run's own and goes with it.
TEST_F(RunUndo, AValueDeletedWhileAbsentThenSetGoesWithTheRun) {
    SetValue("SOFTWARE\\Zep", "Da", "1");
    EndRun();
    MachineState before = CaptureState(m.machine());
    HKEY k = nullptr;
    ASSERT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zep", 0, 0, &k), ERROR_SUCCESS);
    EXPECT_EQ(win::RegDeleteValueA(k, "Neu"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(win::RegCloseKey(k), ERROR_SUCCESS);
    SetValue("SOFTWARE\\Zep", "Neu", "2");
    std::int64_t run = EndRun();
    EXPECT_NO_THROW(portable::UndoRun(m.machine(), run, false));
    EndRun();
    EXPECT_EQ(Differences(before, CaptureState(m.machine())), "");
}
