// A store that fails at any one of its writes: every registry and file change is run with
// the store failing at its first write, then its second, and so on until the change gets
// through. Each failure must come back as the call's documented failure, never as an
// exception, and the machine reopened afterwards must show no part of the change: the
// host's files, the store's names and attributes, the registry and the journal agree.
#include "platform/advapi32.h"
#include "platform/kernel32.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"

#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::TestMachine;

constexpr int kMostWrites = 50;

// What one entry of C:\WORK looks like from both sides.
struct EntryState {
    bool onHost = false;
    std::string contents;        // of a file
    std::optional<DWORD> stored; // attributes in the store's names table, when it has a row
    bool operator==(const EntryState&) const = default;
};

void PrintTo(const EntryState& state, std::ostream* os) {
    *os << (state.onHost ? "on the host" : "not on the host") << ", contents \"" << state.contents
        << "\", "
        << (state.stored ? "stored attributes " + std::to_string(*state.stored) : "no row");
}

class StoreFailure : public ::testing::Test {
protected:
    TestMachine m;

    void TearDown() override { portable::FailStoreWriteAt(0); }

    // A fresh process's view: the machine opened again from its folder.
    void Reopen() { portable::UseMachine(portable::Machine::Open(m.root())); }

    fs::path Host(const std::string& name) const { return m.DriveC() / "WORK" / name; }

    EntryState Entry(const std::string& name) {
        EntryState state;
        std::error_code ec;
        state.onHost = fs::exists(Host(name), ec);
        if (state.onHost && fs::is_regular_file(Host(name)))
            state.contents = ReadHostFile(Host(name));
        auto& stmt = portable::CurrentMachine().store().Prepare(
            "SELECT attrs FROM names WHERE dir = 'C:/WORK' AND upper = ?1");
        stmt.Bind(1, name);
        if (stmt.Step())
            state.stored = static_cast<DWORD>(stmt.Int(0));
        stmt.Reset();
        return state;
    }

    size_t JournalLines() { return portable::CurrentMachine().ReadJournal().size(); }

    void MakeFile(const char* path, std::string_view bytes) {
        HANDLE h = win::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        ASSERT_TRUE(
            win::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_TRUE(win::CloseHandle(h));
    }

    // C:\WORK with A.TXT ("alpha"), B.TXT ("beta") and an empty folder EMPTY.
    void SetUp() override {
        ASSERT_TRUE(win::CreateDirectoryA("C:\\WORK", nullptr));
        MakeFile("C:\\WORK\\A.TXT", "alpha");
        MakeFile("C:\\WORK\\B.TXT", "beta");
        ASSERT_TRUE(win::CreateDirectoryA("C:\\WORK\\EMPTY", nullptr));
    }

    // Runs call with the store failing at its 1st, 2nd, ... write. A failed call must
    // leave the reopened machine as it was (by the look of the named entries, and with no
    // journal line); a call that gets through must not have met its planned failure.
    // Returns after the first success.
    void FailEachWrite(const std::vector<std::string>& names, const std::function<bool()>& call) {
        std::vector<EntryState> before;
        for (const auto& name : names)
            before.push_back(Entry(name));
        size_t lines = JournalLines();
        for (int n = 1; n <= kMostWrites; ++n) {
            SCOPED_TRACE("store fails at write " + std::to_string(n));
            portable::FailStoreWriteAt(n);
            win::SetLastError(ERROR_SUCCESS);
            bool succeeded = false;
            EXPECT_NO_THROW(succeeded = call());
            DWORD error = win::GetLastError();
            int writes = portable::FailStoreWriteAt(0);
            if (succeeded) {
                EXPECT_LT(writes, n) << "a failed write was reported as success";
                Reopen();
                EXPECT_GT(JournalLines(), lines);
                return;
            }
            EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
            Reopen();
            for (size_t i = 0; i < names.size(); ++i)
                EXPECT_EQ(Entry(names[i]), before[i]) << names[i];
            EXPECT_EQ(JournalLines(), lines);
        }
        ADD_FAILURE() << "still failing after " << kMostWrites << " writes";
    }

    // After a successful change: the host holds an entry exactly where the store has a row.
    void ExpectAgree(const std::string& name) {
        Reopen();
        EntryState state = Entry(name);
        EXPECT_EQ(state.onHost, state.stored.has_value()) << name;
    }
};

TEST_F(StoreFailure, CreatingWritingAndEmptyingFiles) {
    FailEachWrite({"NEW.TXT"}, [] {
        HANDLE h = win::CreateFileA("C:\\WORK\\NEW.TXT", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                    nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        bool ok = win::WriteFile(h, "new", 3, &written, nullptr) && written == 3;
        return win::CloseHandle(h) && ok;
    });
    ExpectAgree("NEW.TXT");
    EXPECT_EQ(ReadHostFile(Host("NEW.TXT")), "new");

    // Emptying an existing file: a failed call leaves its contents.
    FailEachWrite({"A.TXT"}, [] {
        HANDLE h = win::CreateFileA("C:\\WORK\\A.TXT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr);
        return h != INVALID_HANDLE_VALUE && win::CloseHandle(h);
    });
    EXPECT_EQ(ReadHostFile(Host("A.TXT")), "");

    // Writing into an open file and closing it involve no write of the store.
    HANDLE h =
        win::CreateFileA("C:\\WORK\\B.TXT", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    portable::FailStoreWriteAt(1);
    DWORD written = 0;
    EXPECT_TRUE(win::WriteFile(h, "BETA", 4, &written, nullptr));
    EXPECT_TRUE(win::CloseHandle(h));
    EXPECT_EQ(portable::FailStoreWriteAt(0), 0);
    EXPECT_EQ(ReadHostFile(Host("B.TXT")), "BETA");
}

TEST_F(StoreFailure, DeletingAFile) {
    FailEachWrite({"A.TXT"}, [] { return win::DeleteFileA("C:\\WORK\\A.TXT") != FALSE; });
    EXPECT_FALSE(fs::exists(Host("A.TXT")));
    ExpectAgree("A.TXT");
    // Nothing set aside for the undo stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(m.DriveC() / "WORK"), fs::directory_iterator()),
              2);
}

TEST_F(StoreFailure, MovingWithAndWithoutReplacing) {
    FailEachWrite({"A.TXT", "C.TXT"},
                  [] { return win::MoveFileA("C:\\WORK\\A.TXT", "C:\\WORK\\C.TXT") != FALSE; });
    ExpectAgree("A.TXT");
    ExpectAgree("C.TXT");
    EXPECT_EQ(ReadHostFile(Host("C.TXT")), "alpha");

    // The replaced file comes back when the store fails.
    FailEachWrite({"B.TXT", "C.TXT"}, [] {
        return win::MoveFileExA("C:\\WORK\\C.TXT", "C:\\WORK\\B.TXT", MOVEFILE_REPLACE_EXISTING) !=
               FALSE;
    });
    ExpectAgree("C.TXT");
    EXPECT_EQ(ReadHostFile(Host("B.TXT")), "alpha");
    EXPECT_EQ(std::distance(fs::directory_iterator(m.DriveC() / "WORK"), fs::directory_iterator()),
              2);

    FailEachWrite({"EMPTY", "MOVED"},
                  [] { return win::MoveFileA("C:\\WORK\\EMPTY", "C:\\WORK\\MOVED") != FALSE; });
    ExpectAgree("EMPTY");
    ExpectAgree("MOVED");
}

TEST_F(StoreFailure, MakingAndRemovingFolders) {
    FailEachWrite({"SUB"}, [] { return win::CreateDirectoryA("C:\\WORK\\SUB", nullptr) != FALSE; });
    EXPECT_TRUE(fs::is_directory(Host("SUB")));
    ExpectAgree("SUB");

    FailEachWrite({"EMPTY"}, [] { return win::RemoveDirectoryA("C:\\WORK\\EMPTY") != FALSE; });
    EXPECT_FALSE(fs::exists(Host("EMPTY")));
    ExpectAgree("EMPTY");
}

TEST_F(StoreFailure, ChangingAttributes) {
    FailEachWrite({"A.TXT"}, [] {
        return win::SetFileAttributesA("C:\\WORK\\A.TXT",
                                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN) != FALSE;
    });
    Reopen();
    EXPECT_EQ(win::GetFileAttributesA("C:\\WORK\\A.TXT"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

// What reaches a program in place of an exception: the call's failure value, and in
// GetLastError access denied for a store that cannot be written or a refused machine,
// else a write fault; the reason is kept.
TEST_F(StoreFailure, TheBoundaryNamesWhatFailed) {
    portable::Database readOnly(m.root() / "machine.db", portable::Database::Access::ReadOnly);
    try {
        portable::Transaction txn(readOnly);
        ADD_FAILURE() << "a read-only store began a change";
    } catch (const portable::StoreError& e) {
        EXPECT_TRUE(e.ReadOnly()) << e.what();
    }

    auto failing = [](auto exception) {
        win::SetLastError(ERROR_SUCCESS);
        HANDLE h =
            portable::Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&]() -> HANDLE { throw exception; });
        EXPECT_EQ(h, INVALID_HANDLE_VALUE);
        return win::GetLastError();
    };
    EXPECT_EQ(failing(portable::StoreError("the machine is read-only", true)),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(failing(portable::StoreError("disk I/O error")),
              static_cast<DWORD>(ERROR_WRITE_FAULT));
    EXPECT_EQ(portable::LastFailureMessage(), "disk I/O error");
    EXPECT_EQ(failing(portable::MachineError("drive C: refused")),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(failing(std::bad_alloc()), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(failing(std::runtime_error("anything else")), static_cast<DWORD>(ERROR_WRITE_FAULT));
}

// The registry: each change is reported as ERROR_REGISTRY_IO_FAILED and leaves nothing.
class RegistryStoreFailure : public StoreFailure {
protected:
    void SetUp() override {
        StoreFailure::SetUp();
        HKEY key = nullptr;
        ASSERT_EQ(win::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Old", 0, nullptr, 0, 0,
                                       nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(
            win::RegSetValueExA(key, "kept", 0, REG_SZ, reinterpret_cast<const BYTE*>("yes"), 4),
            ERROR_SUCCESS);
        win::RegCloseKey(key);
    }

    // Whether SOFTWARE\Test\<sub> exists, and with value when one is named.
    static bool Has(const char* sub, const char* value = nullptr) {
        HKEY key = nullptr;
        std::string path = std::string("SOFTWARE\\Test\\") + sub;
        if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, 0, &key) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        bool has = !value || win::RegQueryValueExA(key, value, nullptr, nullptr, nullptr, &size) ==
                                 ERROR_SUCCESS;
        win::RegCloseKey(key);
        return has;
    }

    // Runs a registry change with the store failing at each write in turn; unchanged tells
    // whether the reopened registry shows none of it.
    void FailEachWrite(const std::function<LONG()>& change,
                       const std::function<bool()>& unchanged) {
        size_t lines = JournalLines();
        for (int n = 1; n <= kMostWrites; ++n) {
            SCOPED_TRACE("store fails at write " + std::to_string(n));
            portable::FailStoreWriteAt(n);
            LONG rc = ERROR_SUCCESS;
            EXPECT_NO_THROW(rc = change());
            int writes = portable::FailStoreWriteAt(0);
            Reopen();
            if (rc == ERROR_SUCCESS) {
                EXPECT_LT(writes, n) << "a failed write was reported as success";
                EXPECT_FALSE(unchanged());
                EXPECT_GT(JournalLines(), lines);
                return;
            }
            EXPECT_EQ(rc, static_cast<LONG>(ERROR_REGISTRY_IO_FAILED));
            EXPECT_TRUE(unchanged());
            EXPECT_EQ(JournalLines(), lines);
        }
        ADD_FAILURE() << "still failing after " << kMostWrites << " writes";
    }
};

TEST_F(RegistryStoreFailure, SettingAValue) {
    FailEachWrite(
        [] {
            HKEY key = nullptr;
            LONG rc = win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Old", 0, 0, &key);
            if (rc != ERROR_SUCCESS)
                return rc;
            rc = win::RegSetValueExA(key, "new", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
            win::RegCloseKey(key);
            return rc;
        },
        [] { return !Has("Old", "new"); });
}

TEST_F(RegistryStoreFailure, CreatingAKey) {
    FailEachWrite(
        [] {
            HKEY key = nullptr;
            LONG rc = win::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\New\\Deeper", 0,
                                           nullptr, 0, 0, nullptr, &key, nullptr);
            if (rc == ERROR_SUCCESS)
                win::RegCloseKey(key);
            return rc;
        },
        [] { return !Has("New"); });
}

TEST_F(RegistryStoreFailure, DeletingAValueAndAKey) {
    FailEachWrite(
        [] {
            HKEY key = nullptr;
            LONG rc = win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Old", 0, 0, &key);
            if (rc != ERROR_SUCCESS)
                return rc;
            rc = win::RegDeleteValueA(key, "kept");
            win::RegCloseKey(key);
            return rc;
        },
        [] { return Has("Old", "kept"); });
    FailEachWrite([] { return win::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Old"); },
                  [] { return Has("Old"); });
}

} // namespace
