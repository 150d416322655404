// zepmachine on machine folders made by someone else and with programs that try to get out:
// canary files outside the machine must survive, and a refusal must say what was refused.
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteHostFile;

class HostileMachine : public ::testing::Test {
protected:
    HostileMachine() {
        EXPECT_EQ(
            RunCommand(std::string(ZEPMACHINE_BIN) + " init " + root().string() + " >/dev/null"),
            0);
        fs::create_directories(outside());
        WriteHostFile(canary(), "lebt");
    }
    // zepmachine on the machine, stdout and stderr in out.
    int Zep(const std::string& arguments, std::string* out = nullptr) {
        return RunCommand(std::string(ZEPMACHINE_BIN) + " --machine " + root().string() + " " +
                              arguments + " 2>&1",
                          out);
    }
    int Sql(const std::string& statement) {
        return RunCommand("sqlite3 " + (root() / "machine.db").string() + " \"" + statement + "\"");
    }
    fs::path root() const { return dir_.path() / "m"; }
    fs::path c() const { return root() / "drive_c"; }
    fs::path outside() const { return dir_.path() / "draussen"; }
    fs::path canary() const { return outside() / "canary.txt"; }
    static unsigned Mode(const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 0777;
    }

    TempDir dir_;
};

// Writes a file through a descriptor that the processes this test starts do not inherit:
// an inherited writer would make the program busy for exec (ETXTBSY) in the started run.
void WriteUninherited(const fs::path& p, std::string_view bytes) {
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

// The program is checked and run through one descriptor: swapping its name for a link to a
// script outside, again and again while it is started, never runs the script outside nor
// changes its mode. Every start either runs the program or is refused with status 1.
TEST_F(HostileMachine, AProgramSwappedForALinkWhileStartingNeverRunsWhatIsOutside) {
    fs::path evil = outside() / "evil.sh";
    WriteHostFile(evil, "#!/bin/sh\necho lief >> " + (outside() / "ran").string() + "\n");
    fs::permissions(evil, fs::perms(0644));
    const std::string inside = "#!/bin/sh\nexit 7\n";
    WriteHostFile(c() / "prog.sh", inside);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        fs::path program = c() / "prog.sh", plain = c() / "plain.tmp", link = c() / "link.tmp";
        std::error_code ec;
        while (!stop) {
            fs::remove(link, ec);
            fs::create_symlink(evil, link, ec);
            fs::rename(link, program, ec);
            WriteUninherited(plain, inside);
            fs::rename(plain, program, ec);
            std::this_thread::yield();
        }
    });
    int ran = 0, refused = 0, tries = 0;
    const auto started = std::chrono::steady_clock::now();
    // At least five seconds of swapping, and on a slow machine on until both outcomes were
    // seen; each run commits its journal line (a sync or two).
    auto enough = [&] {
        return std::chrono::steady_clock::now() - started >= std::chrono::seconds(5) && ran > 0 &&
               refused > 0;
    };
    for (; tries < 300 && !enough(); ++tries) {
        int status = Zep("run 'C:\\prog.sh' >/dev/null");
        EXPECT_TRUE(status == 7 || status == 1) << status;
        ran += status == 7;
        refused += status == 1;
    }
    stop = true;
    swapper.join();
    EXPECT_GT(ran, 0);
    std::printf("%d of %d starts ran the program inside, the others were refused\n", ran, tries);
    EXPECT_FALSE(fs::exists(outside() / "ran"));
    EXPECT_EQ(Mode(evil), 0644u);
}

// A program that another process holds open for writing cannot be executed on the host; the
// start is refused with a message, never passed off as the program's own exit status.
TEST_F(HostileMachine, AProgramOpenForWritingIsRefusedWithAMessage) {
    WriteHostFile(c() / "prog.sh", "#!/bin/sh\nexit 7\n");
    fs::permissions(c() / "prog.sh", fs::perms(0755));
    int writer = ::open((c() / "prog.sh").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    std::string out;
    EXPECT_EQ(Zep("run 'C:\\prog.sh'", &out), 1);
    EXPECT_NE(out.find("another process has it open for writing"), std::string::npos) << out;
    ::close(writer);
    EXPECT_EQ(Zep("run 'C:\\prog.sh'"), 7);
}

// A program that is a hard link to a file outside: it may run, but making it executable
// gives the machine's name a file of its own first.
TEST_F(HostileMachine, MakingAHardLinkedProgramRunnableLeavesTheOutsideFileAlone) {
    fs::path tool = outside() / "tool.sh";
    WriteHostFile(tool, "#!/bin/sh\nexit 3\n");
    fs::permissions(tool, fs::perms(0644));
    fs::create_hard_link(tool, c() / "tool.sh");
    EXPECT_EQ(Zep("run 'C:\\tool.sh'"), 3);
    EXPECT_EQ(Mode(tool), 0644u);
    EXPECT_EQ(fs::hard_link_count(tool), 1u);
    EXPECT_EQ(Mode(c() / "tool.sh"), 0744u);
}

TEST_F(HostileMachine, ADriveFolderThatIsALinkIsRefusedNamingTheDrive) {
    fs::create_directories(outside() / "WINDOWS");
    WriteHostFile(outside() / "WINDOWS" / "WININIT.INI", "[rename]\r\nNUL=C:\\canary.txt\r\n");
    fs::rename(c(), root() / "alt");
    fs::create_symlink(outside(), c());
    std::string out;
    EXPECT_EQ(Zep("boot", &out), 1);
    EXPECT_NE(out.find("drive C: its folder drive_c is a symbolic link"), std::string::npos) << out;
    EXPECT_EQ(ReadHostFile(canary()), "lebt");
    EXPECT_TRUE(fs::exists(outside() / "WINDOWS" / "WININIT.INI"));
}

TEST_F(HostileMachine, ADriveStoredOutsideTheMachineIsRefusedNamingTheDrive) {
    ASSERT_EQ(Sql("UPDATE drives SET host = '/' WHERE letter = 'C'"), 0);
    std::string out;
    EXPECT_EQ(Zep("ls 'C:\\etc\\host*'", &out), 1);
    EXPECT_NE(out.find("drive C: its folder is stored as /, which is not a folder inside the "
                       "machine folder; refused"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("hosts"), std::string::npos) << out;
    ASSERT_EQ(Zep("info", &out), 0);
    EXPECT_NE(out.find("C:  fixed     refused: its folder is stored as /"), std::string::npos)
        << out;
}

TEST_F(HostileMachine, AStoreThatIsALinkIsRefused) {
    fs::path other = dir_.path() / "other";
    ASSERT_EQ(RunCommand(std::string(ZEPMACHINE_BIN) + " init " + other.string() + " >/dev/null"),
              0);
    for (const char* name : {"machine.db", "machine.db-wal"}) {
        SCOPED_TRACE(name);
        fs::remove(root() / name);
        fs::create_symlink(other / "machine.db", root() / name);
        std::string out;
        EXPECT_EQ(Zep("info", &out), 1);
        EXPECT_NE(out.find(std::string(name) + " is not a plain file (a symbolic link)"),
                  std::string::npos)
            << out;
        fs::remove(root() / name);
        fs::copy_file(other / "machine.db", root() / "machine.db",
                      fs::copy_options::overwrite_existing);
    }
}

// A path with a drive letter is the machine's in every verb.
TEST_F(HostileMachine, ExportToAPathWithADriveLetterWritesTheMachinesFile) {
    std::string out;
    ASSERT_EQ(RunCommand("cd " + dir_.path().string() + " && " + ZEPMACHINE_BIN + " --machine " +
                             root().string() +
                             " reg export HKCU -o 'C:\\WINDOWS\\TEMP\\export.reg' 2>&1",
                         &out),
              0)
        << out;
    EXPECT_TRUE(ReadHostFile(c() / "WINDOWS" / "TEMP" / "export.reg").starts_with("REGEDIT4\r\n"));
    for (const auto& e : fs::directory_iterator(dir_.path()))
        EXPECT_EQ(e.path().filename().string().find("C:"), std::string::npos) << e.path();
    ASSERT_EQ(Zep("ls 'C:\\WINDOWS\\TEMP'", &out), 0);
    EXPECT_NE(out.find("export.reg"), std::string::npos) << out;
    EXPECT_EQ(out.find("~EXP"), std::string::npos) << out;
}

// Output that did not arrive is a failure, and -o replaces its file only when complete.
TEST_F(HostileMachine, OutputThatCannotBeWrittenFailsAndLeavesNoTruncatedFile) {
    std::string out;
    const std::string zep = std::string(ZEPMACHINE_BIN) + " --machine " + root().string() + " ";
    for (const char* verb : {"reg export", "reg query HKCU", "log", "info", "ls 'C:\\'"}) {
        SCOPED_TRACE(verb);
        EXPECT_EQ(RunCommand(zep + verb + " 2>&1 >/dev/full", &out), 1);
        EXPECT_NE(out.find("cannot write the output: No space left on device"), std::string::npos)
            << out;
    }
    // Enough registry for an export well over the limit below.
    std::string script = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Viel]\r\n";
    for (int i = 0; i < 3000; ++i)
        script += "\"Wert" + std::to_string(i) + "\"=\"" + std::string(40, 'x') + "\"\r\n";
    WriteHostFile(dir_.path() / "viel.reg", script);
    ASSERT_EQ(Zep("regedit /s " + (dir_.path() / "viel.reg").string()), 0);
    fs::path file = dir_.path() / "export.reg";
    WriteHostFile(file, "vorher");
    // A file size limit of 64 KiB stands in for a full disk (the signal it raises ignored).
    std::string limited = "cd " + dir_.path().string() + " && trap '' XFSZ && ulimit -f 128 && " +
                          ZEPMACHINE_BIN + " --machine " + root().string();
    EXPECT_EQ(RunCommand(limited + " reg export -o export.reg 2>&1", &out), 1);
    EXPECT_NE(out.find("cannot write export.reg"), std::string::npos) << out;
    EXPECT_EQ(ReadHostFile(file), "vorher");
    EXPECT_EQ(RunCommand(limited + " reg export -o 'C:\\WINDOWS\\TEMP\\x.reg' 2>&1", &out), 1);
    EXPECT_FALSE(fs::exists(c() / "WINDOWS" / "TEMP" / "x.reg"));
    ASSERT_EQ(Zep("ls 'C:\\WINDOWS\\TEMP'", &out), 0);
    EXPECT_EQ(out.find("~EXP"), std::string::npos) << out;
    for (const auto& e : fs::directory_iterator(dir_.path()))
        EXPECT_FALSE(e.path().filename().string().starts_with("export.reg.")) << e.path();
}

// WININIT.INI becomes WININIT.BAK before any line runs: when it cannot, nothing runs and the
// boot fails; a line that fails fails the boot too, but never runs again.
TEST_F(HostileMachine, BootRunsARestartsLinesAtMostOnce) {
    fs::path windows = c() / "WINDOWS";
    WriteHostFile(windows / "NEU.DLL", "neu");
    WriteHostFile(windows / "WININIT.INI",
                  "[rename]\r\nC:\\WINDOWS\\ALT.DLL=C:\\WINDOWS\\NEU.DLL\r\n");
    fs::create_directory(windows / "WININIT.BAK");
    std::string out;
    EXPECT_EQ(Zep("boot", &out), 1);
    EXPECT_NE(out.find("WININIT.INI cannot become WININIT.BAK (a folder has that name); none of "
                       "its lines was run"),
              std::string::npos)
        << out;
    EXPECT_TRUE(fs::exists(windows / "NEU.DLL"));
    EXPECT_TRUE(fs::exists(windows / "WININIT.INI"));

    // A read-only WININIT.BAK is replaced; the lines run once.
    fs::remove(windows / "WININIT.BAK");
    WriteHostFile(windows / "WININIT.BAK", "alt");
    ASSERT_EQ(Zep("ls 'C:\\WINDOWS\\WININIT.BAK' >/dev/null"), 0);
    ASSERT_EQ(Sql("UPDATE names SET attrs = 1 WHERE upper = 'WININIT.BAK'"), 0);
    ASSERT_EQ(Zep("boot", &out), 0) << out;
    EXPECT_EQ(ReadHostFile(windows / "ALT.DLL"), "neu");
    WriteHostFile(windows / "ALT.DLL", "seitdem geschrieben");
    WriteHostFile(windows / "NEU.DLL", "wieder da");
    ASSERT_EQ(Zep("boot", &out), 0) << out;
    EXPECT_EQ(out, "no WININIT.INI\n");
    EXPECT_EQ(ReadHostFile(windows / "ALT.DLL"), "seitdem geschrieben");

    // A failing line: the others run, the status says so, and the next boot has no lines.
    fs::create_directory(windows / "ORDNER");
    WriteHostFile(windows / "WININIT.INI",
                  "[rename]\r\nC:\\WINDOWS\\ORDNER=C:\\WINDOWS\\NEU.DLL\r\n"
                  "NUL=C:\\WINDOWS\\ALT.DLL\r\n");
    EXPECT_EQ(Zep("boot", &out), 1);
    EXPECT_NE(out.find("1 line(s) of WININIT.INI failed"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(windows / "ALT.DLL"));
    EXPECT_EQ(Zep("boot", &out), 0);
    EXPECT_EQ(out, "no WININIT.INI\n");
}

TEST_F(HostileMachine, InputsThatAreNotWhatTheySeemGetClearErrors) {
    std::string out;
    EXPECT_EQ(Zep("log --since 1e3", &out), 2);
    EXPECT_NE(out.find("--since takes an entry number (digits), not '1e3'"), std::string::npos)
        << out;
    EXPECT_EQ(Zep("log --since -1", &out), 2);
    EXPECT_EQ(Zep("regedit " + outside().string(), &out), 1);
    EXPECT_NE(out.find("it is a folder, not a file"), std::string::npos) << out;
    EXPECT_EQ(Zep("regedit 'C:\\WINDOWS'", &out), 1);
    EXPECT_NE(out.find("it is a folder, not a file"), std::string::npos) << out;
    // Journal lines quoting a script's bytes reach the terminal escaped.
    WriteHostFile(dir_.path() / "esc.reg", std::string("REGEDIT4\r\n\x1b]0;title\x07\r\n"));
    EXPECT_EQ(Zep("regedit " + (dir_.path() / "esc.reg").string(), &out), 0);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    ASSERT_EQ(Zep("log", &out), 0);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_NE(out.find("\\x1B]0;title\\x07"), std::string::npos) << out;
}

// What a machine's uninstall entries hold reaches the terminal escaped and cut: no ESC, BEL
// or OSC sequence passes, and a 2 MB UninstallString is neither listed nor echoed whole.
TEST_F(HostileMachine, UninstallEntriesReachTheTerminalEscapedAndCut) {
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                            "Uninstall\\";
    std::string huge(2 << 20, 'x');
    WriteHostFile(dir_.path() / "entries.reg",
                  "REGEDIT4\r\n[" + key +
                      "Esc\x1b[2J]\r\n"
                      "\"DisplayName\"=\"\x1b]0;Titel\x07"
                      "Bell\x07\"\r\n"
                      "\"UninstallString\"=\"C:\\\\fehlt\x1b[31m.exe UnInst\"\r\n"
                      "[" +
                      key + "Lang]\r\n\"DisplayName\"=\"" + huge +
                      "\"\r\n"
                      "\"UninstallString\"=\"C:\\\\WINDOWS " +
                      huge + "\"\r\n");
    std::string out;
    ASSERT_EQ(Zep("regedit " + (dir_.path() / "entries.reg").string(), &out), 0) << out;

    ASSERT_EQ(Zep("uninstall --list", &out), 0) << out;
    EXPECT_EQ(out, "Esc\\x1B[2J\t\\x1B]0;Titel\\x07Bell\\x07\n"
                   "Lang\t" +
                       std::string(100, 'x') + "...\n");

    EXPECT_EQ(Zep("uninstall 'Esc\x1b[2J'", &out), 1);
    EXPECT_EQ(out, "starting C:\\fehlt\\x1B[31m.exe UnInst\n"
                   "zepmachine uninstall: C:\\fehlt\\x1B[31m.exe: no program file on the "
                   "machine\n");
    EXPECT_EQ(Zep("uninstall Lang", &out), 1);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_LT(out.size(), 1000u) << out.substr(0, 1000);
    EXPECT_EQ(out.rfind("starting C:\\WINDOWS " + std::string(89, 'x') + "...\n", 0), 0u)
        << out.substr(0, 300);
}

// A key line of 30,000 levels is refused with its line number; one at the limit (512 names
// of 255 characters) imports and exports; all within 256 MB of address space.
TEST_F(HostileMachine, DeepKeysCostMemoryInProportionToTheScript) {
    std::string deep = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 30000; ++i)
        deep += "\\k1234";
    std::string limit = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 512; ++i)
        limit += "\\" + std::string(255, 'n');
    WriteHostFile(dir_.path() / "deep.reg",
                  "REGEDIT4\r\n" + deep + "]\r\n\"v\"=\"1\"\r\n" + limit + "]\r\n\"w\"=\"2\"\r\n");
    std::string bounded =
        "ulimit -v 262144 && " + std::string(ZEPMACHINE_BIN) + " --machine " + root().string();
    std::string out;
    ASSERT_EQ(
        RunCommand(bounded + " regedit " + (dir_.path() / "deep.reg").string() + " 2>&1", &out), 0)
        << out;
    EXPECT_NE(out.find("deep.reg:2: key deeper than 512 levels: [HKEY_CURRENT_USER\\k1234"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("512 keys created, 1 values set"), std::string::npos) << out;
    EXPECT_EQ(RunCommand(bounded + " reg export HKCU -o " + (dir_.path() / "x.reg").string()), 0);
    EXPECT_GT(fs::file_size(dir_.path() / "x.reg"), 33'000'000u); // each header repeats the path
}

// What a process that died had half done (a file set aside under a private name, a
// temporary file) is removed by the next command that opens the machine; a live process's
// names, names it finished with and anything outside a drive folder stay. A name no
// Windows path reaches still shows in a diff.
TEST_F(HostileMachine, LeftoversOfADeadProcessGoAndHiddenNamesShowInADiff) {
    std::string out;
    ASSERT_EQ(Zep("snapshot vorher", &out), 0) << out;
    fs::path sessions = root() / "sessions";
    fs::create_directories(sessions);
    WriteHostFile(c() / "WINDOWS" / "~zep?4242.7.1", std::string(1000, 'x'));
    WriteHostFile(c() / "~LNK0001.TMP", "halb");
    WriteHostFile(c() / "~LNK0002.TMP", "fertig");
    WriteHostFile(c() / "~LNK0003.TMP", "lebt");
    WriteHostFile(c() / "~zep?9.9.9", "von aussen");
    fs::create_symlink(canary(), c() / "link");
    WriteHostFile(sessions / "4242-0123456789abcdef",
                  "+C:/WINDOWS/~zep?4242.7.1\n+C:/~LNK0001.TMP\n+C:/~LNK0002.TMP\n"
                  "-C:/~LNK0002.TMP\n+C:/link\n+C:/../draussen/canary.txt\n"
                  "+C:/WINDOWS/../../../draussen/canary.txt\n");
    WriteHostFile(sessions / "4343-live", "+C:/~LNK0003.TMP\n");
    int live = ::open((sessions / "4343-live").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    ASSERT_EQ(Zep("log", &out), 0) << out;
    EXPECT_NE(out.find("recover: removed C:\\WINDOWS\\~zep?4242.7.1"), std::string::npos) << out;
    EXPECT_NE(out.find("recover: removed C:\\~LNK0001.TMP"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(c() / "WINDOWS" / "~zep?4242.7.1"));
    EXPECT_FALSE(fs::exists(c() / "~LNK0001.TMP"));
    EXPECT_FALSE(fs::exists(sessions / "4242-0123456789abcdef"));
    for (const char* stays : {"~LNK0002.TMP", "~LNK0003.TMP", "~zep?9.9.9", "link"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(c() / stays))) << stays;
    EXPECT_EQ(ReadHostFile(canary()), "lebt");
    EXPECT_TRUE(fs::exists(sessions / "4343-live"));
    ::close(live);

    Zep("diff vorher", &out);
    EXPECT_NE(out.find("+ file   C:\\~zep?9.9.9  (10 bytes)"), std::string::npos) << out;
}

// A boot killed in the middle goes on at the next boot with the line after the last one
// done: the lines done before stay done once (their files, made again, stay), the others
// run.
TEST_F(HostileMachine, ABootCutOffGoesOnWhereItStopped) {
    constexpr int kLines = 1000;
    fs::create_directories(c() / "ALT");
    std::string wininit = "[rename]\r\n";
    for (int i = 0; i < kLines; ++i) {
        std::string name = "F" + std::to_string(i) + ".TXT";
        WriteHostFile(c() / "ALT" / name, "alt");
        wininit += "NUL=C:\\ALT\\" + name + "\r\n";
    }
    WriteHostFile(c() / "WINDOWS" / "WININIT.INI", wininit);
    std::string out;
    ASSERT_EQ(Zep("ls 'C:\\ALT' >/dev/null"), 0);
    std::string pid;
    ASSERT_EQ(RunCommand("setsid " + std::string(ZEPMACHINE_BIN) + " --machine " + root().string() +
                             " boot >/dev/null 2>&1 & echo $!",
                         &pid),
              0);
    pid = pid.substr(0, pid.find('\n'));
    auto left = [&] {
        return std::distance(fs::directory_iterator(c() / "ALT"), fs::directory_iterator());
    };
    for (int i = 0; i < 20000 && left() > kLines / 2; ++i)
        ::usleep(500);
    RunCommand("kill -9 -" + pid + "; while kill -0 " + pid + " 2>/dev/null; do sleep 0.01; done");
    std::string mark;
    RunCommand("sqlite3 " + (root() / "machine.db").string() +
                   " \"SELECT value FROM settings WHERE key = 'boot_next_line'\"",
               &mark);
    if (mark.empty() || mark == "\n")
        GTEST_SKIP() << "the boot ended before it could be cut off";
    const int next = std::stoi(mark); // the index of the next line; the header is line 0
    for (int i = 0; i + 1 < next; ++i)
        WriteHostFile(c() / "ALT" / ("F" + std::to_string(i) + ".TXT"), "neu");
    // A program scheduled more since: it runs after the interrupted lines.
    WriteHostFile(c() / "NEU.TXT", "neu");
    WriteHostFile(c() / "WINDOWS" / "WININIT.INI", "[rename]\r\nNUL=C:\\NEU.TXT\r\n");

    ASSERT_EQ(Zep("boot --verbose", &out), 0) << out;
    // The boot that was cut off is named first, with how to take it back.
    std::string notice = out.substr(0, out.find('\n') + 1);
    EXPECT_NE(notice.find(" did not finish; `zepmachine undo "), std::string::npos) << notice;
    out.erase(0, notice.size());
    EXPECT_TRUE(out.starts_with("an interrupted boot goes on with line " +
                                std::to_string(next + 1) + " of WININIT.BAK\n"))
        << out.substr(0, 200);
    for (int i = 0; i < kLines; ++i) {
        fs::path file = c() / "ALT" / ("F" + std::to_string(i) + ".TXT");
        EXPECT_EQ(fs::exists(file), i + 1 < next) << file;
    }
    EXPECT_EQ(left(), next - 1) << "nothing else is left in the folder";
    EXPECT_TRUE(out.ends_with("WININIT.INI -> WININIT.BAK\ndeleted C:\\NEU.TXT\n" +
                              std::to_string(kLines + 2 - next) +
                              " entries: " + std::to_string(kLines + 2 - next) +
                              " deleted, 0 renamed, 0 skipped, 0 failed\n"))
        << out.substr(out.size() - std::min<size_t>(out.size(), 200));
    EXPECT_FALSE(fs::exists(c() / "NEU.TXT"));
    ASSERT_EQ(Zep("boot", &out), 0);
    EXPECT_EQ(out, "no WININIT.INI\n");
}

} // namespace
