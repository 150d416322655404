// The registry editor as a process of its own: started through CreateProcessA, killed in the
// middle of an import, and two processes writing one machine at once.
#include "platform/advapi32.h"
#include "platform/kernel32.h"

#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_export.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::RunCommand;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

class RegistryProcess : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ZEPMACHINE", ZEPMACHINE_BIN, 1); }
    void TearDown() override { ::unsetenv("ZEPMACHINE"); }

    fs::path Temp() const { return m.DriveC() / "WINDOWS" / "TEMP"; }

    // Starts the command line; the process handle, or null.
    HANDLE Start(std::string commandLine) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!win::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &info))
            return nullptr;
        win::CloseHandle(info.hThread);
        pid_ = static_cast<pid_t>(info.dwProcessId);
        return info.hProcess;
    }

    std::string IntegrityCheck() {
        auto& stmt = m.machine().store().Prepare("PRAGMA integrity_check");
        std::string result = stmt.Step() ? stmt.Text(0) : "";
        stmt.Reset();
        return result;
    }

    bool HasKey(const char* path) {
        HKEY key = nullptr;
        LONG rc = win::RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, 0x3F, &key);
        win::RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }

    TestMachine m;
    pid_t pid_ = -1;
};

TEST_F(RegistryProcess, RegeditRunsTheMachinesEditorAndIsWaitedFor) {
    WriteHostFile(Temp() / "t.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\FromChild]\r\n"
                                    "\"v\"=dword:00000007\r\n\r\n");
    for (const char* line : {"regedit /s C:\\WINDOWS\\TEMP\\t.reg",
                             "C:\\WINDOWS\\REGEDIT.EXE /s \"C:\\WINDOWS\\TEMP\\t.reg\""}) {
        SCOPED_TRACE(line);
        win::RegDeleteKeyA(HKEY_CURRENT_USER, "FromChild");
        HANDLE process = Start(line);
        ASSERT_NE(process, nullptr) << "error " << win::GetLastError();
        EXPECT_EQ(win::WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
        DWORD code = 99;
        EXPECT_TRUE(win::GetExitCodeProcess(process, &code));
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(win::CloseHandle(process));
        EXPECT_TRUE(HasKey("FromChild")); // the child's commit is visible at once
    }
    bool journalled = false;
    for (const auto& e : m.machine().ReadJournal())
        journalled |=
            e.text.find("started: regedit /s C:\\WINDOWS\\TEMP\\t.reg") != std::string::npos;
    EXPECT_TRUE(journalled);
}

// The program's command line is resolved on the machine: a relative path from the
// program's current folder, never a file of the host (not even one in the folder the
// editor process starts in, nor an absolute host path).
TEST_F(RegistryProcess, TheEditorsArgumentsArePathsOfTheMachine) {
    testing_support::TempDir host;
    const std::string outside = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Draussen]\r\n";
    WriteHostFile(host.path() / "draussen.reg", outside);
    WriteHostFile(Temp() / "innen.reg", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Drinnen]\r\n");
    fs::path was = fs::current_path();
    fs::current_path(host.path());
    ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\WINDOWS\\TEMP"));
    for (const std::string& line :
         std::vector<std::string>{"regedit /s innen.reg", "regedit /s draussen.reg",
                                  "regedit /s " + (host.path() / "draussen.reg").string()}) {
        SCOPED_TRACE(line);
        HANDLE process = Start(line);
        ASSERT_NE(process, nullptr) << "error " << win::GetLastError();
        EXPECT_EQ(win::WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
        DWORD code = 99;
        EXPECT_TRUE(win::GetExitCodeProcess(process, &code));
        EXPECT_EQ(code, line.find("innen") != std::string::npos ? 0u : 1u);
        win::CloseHandle(process);
    }
    fs::current_path(was);
    win::SetCurrentDirectoryA("C:\\");
    EXPECT_TRUE(HasKey("Drinnen"));
    EXPECT_FALSE(HasKey("Draussen"));
}

TEST_F(RegistryProcess, OnlyTheRegistryEditorCanBeStarted) {
    EXPECT_EQ(Start("notepad.exe C:\\x.txt"), nullptr);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Start("regedit32 /s x"), nullptr);
    EXPECT_EQ(win::WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    DWORD code = 0;
    EXPECT_FALSE(win::GetExitCodeProcess(nullptr, &code));
}

TEST_F(RegistryProcess, AKilledImportLeavesTheRegistryAsItWas) {
    std::string script = "REGEDIT4\r\n\r\n";
    for (int k = 0; k < 20000; ++k) {
        script += "[HKEY_CURRENT_USER\\Big\\K" + std::to_string(k) + "]\r\n";
        for (int v = 0; v < 15; ++v)
            script += "\"Wert " + std::to_string(v) + "\"=\"Inhalt mit \xFC und Zahl " +
                      std::to_string(k * v) + "\"\r\n";
        script += "\r\n";
    }
    WriteHostFile(Temp() / "big.reg", script);
    std::string before = portable::ExportRegistry(m.machine(), "");
    fs::path wal = m.root() / "machine.db-wal";
    std::error_code ec;
    auto walBefore = fs::file_size(wal, ec);

    HANDLE process = Start("regedit /s C:\\WINDOWS\\TEMP\\big.reg");
    ASSERT_NE(process, nullptr);
    // Kill it once it has been writing its transaction for a while.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool writing = false;
    while (!writing && std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(win::WaitForSingleObject(process, 0), WAIT_TIMEOUT)
            << "the import ended before it could be killed";
        writing = fs::file_size(wal, ec) > walBefore + (4u << 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(writing);
    ASSERT_EQ(::kill(pid_, SIGKILL), 0);
    EXPECT_EQ(win::WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    win::GetExitCodeProcess(process, &code);
    EXPECT_NE(code, 0u);
    win::CloseHandle(process);

    EXPECT_EQ(portable::ExportRegistry(m.machine(), ""), before);
    EXPECT_FALSE(HasKey("Big"));
    EXPECT_EQ(IntegrityCheck(), "ok");
    auto reopened = portable::Machine::Open(m.root()); // a fresh connection agrees
    EXPECT_EQ(portable::ExportRegistry(*reopened, ""), before);
}

TEST_F(RegistryProcess, TwoWritersAtOnceLoseNothing) {
    constexpr int kEach = 1500;
    std::string root = m.root().string();
    std::string writer = std::string(REG_WRITER_BIN) + " '" + root + "' ";
    std::string both = writer + "a " + std::to_string(kEach) + " & p=$!; " + writer + "b " +
                       std::to_string(kEach) + " || exit 1; wait $p";
    ASSERT_EQ(RunCommand(both), 0);

    int found = 0;
    for (int i = 0; i < kEach; ++i) {
        for (const char* prefix : {"a", "b"}) {
            std::string path = "Concurrent\\Shared\\" + std::to_string(i % 10);
            HKEY key = nullptr;
            ASSERT_EQ(win::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, 0x3F, &key),
                      ERROR_SUCCESS);
            DWORD data = 0;
            DWORD size = sizeof data;
            std::string name = prefix + std::to_string(i);
            if (win::RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                      reinterpret_cast<LPBYTE>(&data), &size) == ERROR_SUCCESS &&
                data == static_cast<DWORD>(i))
                ++found;
            win::RegCloseKey(key);
        }
    }
    EXPECT_EQ(found, 2 * kEach);
    auto& keys = m.machine().store().Prepare(
        "SELECT count(*) FROM reg_keys WHERE parent = (SELECT id FROM reg_keys WHERE "
        "upper = 'SHARED')");
    ASSERT_TRUE(keys.Step());
    EXPECT_EQ(keys.Int(0), 10); // each key made once, though both writers created them
    keys.Reset();
    int sets = 0;
    for (const auto& e : m.machine().ReadJournal())
        sets += e.text.starts_with("reg set [HKEY_CURRENT_USER\\Concurrent") ? 1 : 0;
    EXPECT_EQ(sets, 2 * kEach);
    EXPECT_EQ(IntegrityCheck(), "ok");
}

} // namespace
