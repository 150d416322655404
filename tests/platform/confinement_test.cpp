// Escape attempts: no Windows path may read, create or delete anything outside the
// machine's drive folders, whatever it is made of.
#include "platform/kernel32.h"
#include "platform/lz32.h"

#include "platform/portable/api_guard.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::TempDir;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

// Everything under a host folder with its contents, to prove nothing changed.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        std::string key = e.path().lexically_relative(root).string();
        files[key] = e.is_regular_file() ? ReadHostFile(e.path()) : "<dir>";
    }
    return files;
}

class Confinement : public ::testing::Test {
protected:
    TestMachine m;
    TempDir outside;

    void SetUp() override {
        WriteHostFile(outside.path() / "secret.txt", "geheim");
        fs::create_directory(outside.path() / "folder");
        WriteHostFile(outside.path() / "folder" / "inner.txt", "innen");
        // Links planted inside the drive, pointing out.
        fs::create_symlink(outside.path(), m.DriveC() / "link");
        fs::create_symlink(outside.path() / "secret.txt", m.DriveC() / "WINDOWS" / "secret.txt");
        fs::create_symlink("../../..", m.DriveC() / "WINDOWS" / "up");
    }

    // Tries every operation on path; none may touch the outside folder.
    void Attack(const std::string& path) {
        SCOPED_TRACE(path);
        const char* p = path.c_str();
        char buffer[MAX_PATH];
        WIN32_FIND_DATAA data;
        win::GetFileAttributesA(p);
        win::GetShortPathNameA(p, buffer, sizeof buffer);
        HANDLE find = win::FindFirstFileA(p, &data);
        if (find != INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "found " << data.cFileName;
            win::FindClose(find);
        }
        HANDLE h = win::CreateFileA(p, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            char text[16] = {};
            DWORD read = 0;
            win::ReadFile(h, text, sizeof text, &read, nullptr);
            EXPECT_NE(std::string(text, read), "geheim");
            win::CloseHandle(h);
        }
        h = win::CreateFileA(p, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            win::WriteFile(h, "pwned", 5, &written, nullptr);
            win::CloseHandle(h);
        }
        win::SetFileAttributesA(p, FILE_ATTRIBUTE_READONLY);
        win::DeleteFileA(p);
        win::RemoveDirectoryA(p);
        win::CreateDirectoryA(p, nullptr);
        win::MoveFileExA(p, "C:\\moved", MOVEFILE_REPLACE_EXISTING);
        win::MoveFileExA("C:\\WINDOWS\\WIN.INI", p, MOVEFILE_REPLACE_EXISTING);
        OFSTRUCT record;
        std::string copy = path;
        INT lz = win::LZOpenFileA(copy.data(), &record, OF_CREATE | OF_WRITE);
        win::LZClose(lz);
        if (win::SetCurrentDirectoryA(p))
            win::CreateDirectoryA("escaped", nullptr);
        win::SetCurrentDirectoryA("C:\\");
    }
};

TEST_F(Confinement, NothingOutsideIsReachable) {
    auto before = Snapshot(outside.path());
    std::string host = outside.path().string();
    std::string deep = "C:";
    for (int i = 0; i < 40; ++i)
        deep += "\\..";
    const std::string attempts[] = {
        "C:\\..\\..\\..\\..\\" + host.substr(1) + "\\secret.txt",
        deep + host + "\\secret.txt",
        deep + "\\tmp",
        "C:\\link\\secret.txt",
        "C:\\link\\folder\\inner.txt",
        "C:\\link\\folder",
        "C:\\link",
        "C:\\LINK\\x.txt",
        "C:\\WINDOWS\\secret.txt",
        "C:\\WINDOWS\\up\\etc\\passwd",
        "C:\\WINDOWS\\up",
        host + "\\secret.txt",
        host.substr(1) + "\\secret.txt",
        "C:" + host + "\\secret.txt",
        "C:/" + host + "/secret.txt",
        "/" + host + "/secret.txt",
        "\\\\?\\" + host + "\\secret.txt",
        "\\\\localhost\\c$\\secret.txt",
        "\\\\.\\C:",
        "C:\\CON",
        "C:\\WINDOWS\\NUL",
        "C:\\WINDOWS\\LPT1.txt",
        "COM1",
        "C:\\" + std::string(300, 'x'),
        "C:\\a\x01"
        "b",
        "C:\\x\\..\\..\\link\\secret.txt",
        "C:\\WINDOWS\\..\\..\\..\\" + host.substr(1),
        "Z:\\secret.txt",
    };
    for (const auto& attempt : attempts)
        Attack(attempt);
    EXPECT_EQ(Snapshot(outside.path()), before);
    // The links themselves are still there and still not followed.
    EXPECT_TRUE(fs::is_symlink(m.DriveC() / "link"));
    EXPECT_EQ(ReadHostFile(outside.path() / "secret.txt"), "geheim");
    EXPECT_FALSE(fs::exists(m.root().parent_path() / "escaped"));
}

TEST_F(Confinement, LinksAreInvisibleInsideTheDrive) {
    WIN32_FIND_DATAA data;
    HANDLE find = win::FindFirstFileA("C:\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        EXPECT_STRNE(data.cFileName, "link");
    } while (win::FindNextFileA(find, &data));
    win::FindClose(find);
    // A link's name can be taken by a real folder, which then shadows nothing outside.
    EXPECT_EQ(win::GetFileAttributesA("C:\\link"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Confinement, HostNamesWindowsCannotSpellAreInvisible) {
    WriteHostFile(m.DriveC() / "a:b.txt", "x");
    WriteHostFile(m.DriveC() / "bad\xff.txt", "x"); // not UTF-8
    WriteHostFile(m.DriveC() / "日本.txt", "x");    // not in the ANSI code page
    WriteHostFile(m.DriveC() / "trail.", "x");
    WriteHostFile(m.DriveC() / "Gro\xC3\x9F.txt", "x"); // ß: fine
    WIN32_FIND_DATAA data;
    HANDLE find = win::FindFirstFileA("C:\\*.*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::string> names;
    do {
        names.emplace_back(data.cFileName);
    } while (win::FindNextFileA(find, &data));
    win::FindClose(find);
    EXPECT_EQ(names, (std::vector<std::string>{"Gro\xDF.txt", "Programme", "RECYCLED", "WINDOWS"}));
}

// A drive's folder comes from the machine folder, which anyone may have made: it must be a
// plain folder inside it, else every use of the drive is refused, naming the drive.
class DriveFolders : public ::testing::Test {
protected:
    TestMachine m;
    TempDir outside;

    void SetUp() override {
        WriteHostFile(outside.path() / "canary.txt", "lebt");
        fs::create_directories(outside.path() / "etc");
        WriteHostFile(outside.path() / "etc" / "hosts", "127.0.0.1 localhost");
    }

    // Every operation on C: fails with ERROR_ACCESS_DENIED, for a reason naming drive C:;
    // the canary lives.
    void ExpectRefused(const std::string& why) {
        SCOPED_TRACE(why);
        for (const char* path : {"C:\\canary.txt", "C:\\etc\\hosts", "C:\\"}) {
            EXPECT_FALSE(win::DeleteFileA(path)) << path;
            EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
            EXPECT_EQ(win::GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES) << path;
            EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
            const std::string& message = portable::LastFailureMessage();
            EXPECT_NE(message.find("drive C: "), std::string::npos) << message;
            EXPECT_NE(message.find(why), std::string::npos) << message;
        }
        EXPECT_EQ(ReadHostFile(outside.path() / "canary.txt"), "lebt");
    }
};

TEST_F(DriveFolders, ALinkInPlaceOfTheDriveFolderIsRefused) {
    fs::rename(m.DriveC(), m.root() / "drive_c.alt");
    fs::create_symlink(outside.path(), m.DriveC());
    ExpectRefused("its folder drive_c is a symbolic link");
}

TEST_F(DriveFolders, AFolderStoredOutsideTheMachineIsRefused) {
    for (const std::string& stored :
         std::vector<std::string>{"/", "..", "drive_c/../..", outside.path().string()}) {
        m.machine()
            .store()
            .Prepare("UPDATE drives SET host = ?1 WHERE letter = 'C'")
            .Bind(1, stored)
            .Run();
        ExpectRefused("its folder is stored as " + stored);
    }
}

TEST_F(DriveFolders, AFileInPlaceOfTheDriveFolderIsRefused) {
    fs::remove_all(m.DriveC());
    WriteHostFile(m.DriveC(), "kein Ordner");
    ExpectRefused("its folder drive_c is not a folder");
}

TEST_F(DriveFolders, OnlyTheRunItsNamedForSeesAFolderOutside) {
    EXPECT_THROW(m.machine().MapDrive('E', DRIVE_FIXED, outside.path()), portable::MachineError);
    m.machine().MapRunOnlyDrive('D', outside.path());
    EXPECT_EQ(win::GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_NE(win::GetFileAttributesA("D:\\canary.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(win::DeleteFileA("D:\\canary.txt"));
    EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE h =
        win::CreateFileA("D:\\canary.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    // Nothing of it is stored: the same machine opened again has no D:.
    auto again = portable::Machine::Open(m.root());
    EXPECT_FALSE(again->FindDrive('D'));
    EXPECT_EQ(ReadHostFile(outside.path() / "canary.txt"), "lebt");
}

// The descriptor a program is run from is the machine's file that was checked, never what a
// link swapped in meanwhile points at, and the file outside keeps its mode.
TEST(ProgramOpening, ANameSwappedForALinkNeverYieldsTheFileOutside) {
    TestMachine m;
    TempDir outside;
    fs::path evil = outside.path() / "evil.sh";
    WriteHostFile(evil, "#!/bin/sh\n");
    fs::permissions(evil, fs::perms(0644));
    struct stat evilStat {};
    ASSERT_EQ(::stat(evil.c_str(), &evilStat), 0);
    WriteHostFile(m.DriveC() / "prog.sh", "#!/bin/sh\n");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        fs::path program = m.DriveC() / "prog.sh", plain = m.DriveC() / "plain.tmp",
                 link = m.DriveC() / "link.tmp";
        std::error_code ec;
        while (!stop) {
            fs::remove(link, ec);
            fs::create_symlink(evil, link, ec);
            fs::rename(link, program, ec);
            WriteHostFile(plain, "#!/bin/sh\n");
            fs::rename(plain, program, ec);
        }
    });
    // At least 400 tries, and on a busy machine on until one has opened the file (20 s at
    // most): how often the swap wins depends on the scheduler, never on the code under test.
    int opened = 0;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int i = 0; i < 400 || (opened == 0 && std::chrono::steady_clock::now() < until); ++i) {
        portable::UniqueFd fd;
        if (portable::CurrentFileSystem().OpenProgram("C:\\prog.sh", fd) != ERROR_SUCCESS)
            continue;
        struct stat st {};
        ASSERT_EQ(::fstat(fd.get(), &st), 0);
        EXPECT_NE(st.st_ino, evilStat.st_ino);
        EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR));
        ++opened;
    }
    stop = true;
    swapper.join();
    EXPECT_GT(opened, 0);
    ASSERT_EQ(::stat(evil.c_str(), &evilStat), 0);
    EXPECT_EQ(evilStat.st_mode & 0777, 0644u);
}

} // namespace
