// zepmachine snapshot and diff on a temporary machine: what a run changed, for people and
// for scripts.
#include "platform/portable/machine.h"
#include "platform/portable/store/sha256.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/json_check.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testing_support::JsonCheck;
using testing_support::ReadHostFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteHostFile;

class Snapshots : public ::testing::Test {
protected:
    Snapshots() {
        EXPECT_EQ(
            RunCommand(std::string(ZEPMACHINE_BIN) + " init " + root().string() + " >/dev/null"),
            0);
    }
    // Runs a verb; out gets stdout and stderr, or stdout alone with separate.
    int Zep(const std::string& arguments, std::string* out = nullptr, bool separate = false) {
        return RunCommand(std::string(ZEPMACHINE_BIN) + " --machine " + root().string() + " " +
                              arguments + (separate ? " 2>/dev/null" : " 2>&1"),
                          out);
    }
    // Imports a REGEDIT4 script (Windows-1252; the lines are joined with CR LF).
    void Import(const std::string& lines) {
        std::string script = "REGEDIT4\r\n\r\n";
        for (size_t at = 0; at < lines.size();) {
            size_t end = lines.find('\n', at);
            script += lines.substr(at, end - at) + "\r\n";
            at = end == std::string::npos ? lines.size() : end + 1;
        }
        WriteHostFile(dir_.path() / "change.reg", script);
        std::string out;
        ASSERT_EQ(Zep("regedit /s " + (dir_.path() / "change.reg").string(), &out), 0) << out;
        ASSERT_EQ(out, "");
    }
    // The diff's lines without the summary; the summary in summary.
    std::string Diff(const std::string& name, std::string* summary = nullptr, int status = 1) {
        std::string out;
        EXPECT_EQ(Zep("diff " + name, &out), status) << out;
        size_t last = out.rfind('\n', out.size() >= 2 ? out.size() - 2 : 0);
        size_t cut = last == std::string::npos ? 0 : last + 1;
        if (summary)
            *summary = out.substr(cut);
        return out.substr(0, cut);
    }
    void Snapshot(const std::string& name) {
        std::string out;
        ASSERT_EQ(Zep("snapshot " + name, &out), 0) << out;
        ASSERT_TRUE(out.starts_with("snapshot " + name + ": ")) << out;
    }
    fs::path root() const { return dir_.path() / "m"; }
    fs::path c() const { return root() / "drive_c"; }

    TempDir dir_;
};

TEST_F(Snapshots, NothingChangedGivesAnEmptyDiffAndSnapshotsChangeNothing) {
    Snapshot("vorher");
    Snapshot("nochmal"); // another snapshot writes to the store: not part of the state
    std::string summary;
    EXPECT_EQ(Diff("vorher", &summary, 0), "");
    EXPECT_EQ(summary, "no differences\n");
    std::string out;
    ASSERT_EQ(Zep("diff vorher --json", &out), 0) << out;
    EXPECT_NE(out.find("\"added\":[],\n\"changed\":[],\n\"removed\":[]"), std::string::npos) << out;
    EXPECT_NE(out.find("\"counts\":{\"added\":0,\"changed\":0,\"removed\":0}"), std::string::npos);
    // Windows programs reading the machine (aliases assigned to new host files) change
    // nothing either.
    WriteHostFile(c() / "neu.txt", "x");
    Snapshot("mit-datei");
    ASSERT_EQ(Zep("ls 'C:\\'", &out), 0);
    EXPECT_EQ(Diff("mit-datei", nullptr, 0), "");
}

TEST_F(Snapshots, FilesAndFoldersAddedChangedAndRemoved) {
    fs::create_directories(c() / "Programme" / "Alt");
    WriteHostFile(c() / "Programme" / "Alt" / "weg.txt", "fort");
    WriteHostFile(c() / "Programme" / "gleich.txt", "abc");
    WriteHostFile(c() / "Programme" / "lang.txt", "abc");
    WriteHostFile(c() / "Programme" / "wird-ordner", "datei");
    Snapshot("vorher");

    fs::path app = c() / "Programme" / "Dovek's Zepanu's 1.0";
    fs::create_directories(app / "Hilfe");
    WriteHostFile(app / "Terms.txt", std::string(1234, 't'));
    fs::remove_all(c() / "Programme" / "Alt");
    WriteHostFile(c() / "Programme" / "gleich.txt", "xyz");
    WriteHostFile(c() / "Programme" / "lang.txt", "abcdef");
    fs::remove(c() / "Programme" / "wird-ordner");
    fs::create_directory(c() / "Programme" / "wird-ordner");

    std::string summary;
    EXPECT_EQ(Diff("vorher", &summary),
              "- folder C:\\Programme\\Alt\n"
              "- file   C:\\Programme\\Alt\\weg.txt  (4 bytes)\n"
              "+ folder C:\\Programme\\Dovek's Zepanu's 1.0\n"
              "+ folder C:\\Programme\\Dovek's Zepanu's 1.0\\Hilfe\n"
              "+ file   C:\\Programme\\Dovek's Zepanu's 1.0\\Terms.txt  (1,234 bytes)\n"
              "~ file   C:\\Programme\\gleich.txt  (3 bytes, contents changed)\n"
              "~ file   C:\\Programme\\lang.txt  (3 -> 6 bytes)\n"
              "- file   C:\\Programme\\wird-ordner  (5 bytes)\n"
              "+ folder C:\\Programme\\wird-ordner\n");
    EXPECT_EQ(summary, "4 added, 2 changed, 3 removed\n");
}

TEST_F(Snapshots, RegistryKeysAndValuesWithWholeSubtrees) {
    Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Alt]\n"
           "\"Version\"=\"1.0\"\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Alt\\Teile]\n"
           "\"Anzahl\"=dword:00000003\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Bleibt]\n"
           "\"Pfad\"=\"C:\\\\Programme\"\n"
           "\"Weg\"=\"fort\"\n"
           "\"Fall\"=\"x\"\n");
    Snapshot("vorher");
    Import("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Alt]\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Bleibt]\n"
           "\"Pfad\"=hex(2):43,3a,5c,50,72,6f,67,72,61,6d,6d,65,00\n"
           "\"Weg\"=-\n"
           "\"Fall\"=-\n"
           "\"FALL\"=\"x\"\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepanu]\n"
           "\"DisplayName\"=\"Dovek\x92s Zepanu's 1.0\"\n"
           "@=hex:01,02\n"
           "[HKEY_CURRENT_USER\\Control Panel\\desktop\\WindowMetrics]\n"
           "\"Shell Icon Size\"=\"10\"\n");

    std::string summary;
    EXPECT_EQ(
        Diff("vorher", &summary),
        "- key    HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Alt\n"
        "- key    HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Alt\\Teile\n"
        "+ key    HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepanu\n"
        "~ value  [HKEY_CURRENT_USER\\Control Panel\\desktop\\WindowMetrics] "
        "\"Shell Icon Size\"=\"32\" -> \"10\"\n"
        "- value  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Alt] \"Version\"=\"1.0\"\n"
        "- value  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Alt\\Teile] \"Anzahl\"=dword:00000003\n"
        "~ value  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Bleibt] \"Fall\"=\"x\" -> "
        "\"FALL\"=\"x\"\n"
        "~ value  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Bleibt] "
        "\"Pfad\"=\"C:\\\\Programme\" -> hex(2):43,3a,5c,50,72,6f,67,72,61,6d,6d,65,00  "
        "(REG_SZ -> REG_EXPAND_SZ)\n"
        "- value  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Bleibt] \"Weg\"=\"fort\"\n"
        "+ value  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepanu] @=hex:01,02\n"
        "+ value  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepanu] "
        "\"DisplayName\"=\"Dovek\u2019s Zepanu's 1.0\"\n");
    EXPECT_EQ(summary, "3 added, 3 changed, 5 removed\n");
}

TEST_F(Snapshots, IniLinesAddedAndRemovedBySection) {
    WriteHostFile(c() / "WINDOWS" / "ZEPANU.ini", "[Optionen]\r\nFarbe=blau\r\nFarbe=blau\r\n");
    Snapshot("vorher");
    std::string win = ReadHostFile(c() / "WINDOWS" / "WIN.INI");
    size_t load = win.find("load=\r\n");
    ASSERT_NE(load, std::string::npos);
    win.replace(load, 7, "load=C:\\PROGRA~1\\ZEPANU\\ZEPANU.EXE\r\n");
    WriteHostFile(c() / "WINDOWS" / "WIN.INI", win);
    WriteHostFile(c() / "WINDOWS" / "ZEPANU.ini", "[optionen]\r\nFarbe=blau\r\n\r\n");
    WriteHostFile(c() / "WINDOWS" / "WININIT.INI",
                  "[rename]\r\nNUL=C:\\PROGRA~1\\ZEPANU\\ALT.EXE\r\n");
    WriteHostFile(c() / "WINDOWS" / "SYSTEM" / "NICHT.INI", "[x]\r\ny=1\r\n"); // not in WINDOWS

    std::string lines = Diff("vorher");
    auto has = [&](const std::string& line) {
        EXPECT_NE(lines.find(line + "\n"), std::string::npos) << line << "\n" << lines;
    };
    has("- ini    C:\\WINDOWS\\WIN.INI [windows] load=");
    has("+ ini    C:\\WINDOWS\\WIN.INI [windows] load=C:\\PROGRA~1\\ZEPANU\\ZEPANU.EXE");
    has("+ ini    C:\\WINDOWS\\WININIT.INI [rename] NUL=C:\\PROGRA~1\\ZEPANU\\ALT.EXE");
    // A duplicate line that went is a removal, though an equal line stays.
    has("- ini    C:\\WINDOWS\\ZEPANU.ini [Optionen] Farbe=blau");
    EXPECT_EQ(lines.find("NICHT.INI ["), std::string::npos) << lines;
    EXPECT_EQ(lines.find("ini    C:\\WINDOWS\\SYSTEM.INI"), std::string::npos) << lines;
    // The INI lines come last, in their files' order.
    EXPECT_LT(lines.find("+ file   C:\\WINDOWS\\WININIT.INI"), lines.find("ini "));
    EXPECT_LT(lines.find("- ini    C:\\WINDOWS\\WIN.INI"),
              lines.find("+ ini    C:\\WINDOWS\\WIN.INI"));
}

TEST_F(Snapshots, JsonIsOneWellFormedDocumentWithExactData) {
    Snapshot("vorher");
    fs::create_directories(c() / "Programme" / "Zepanu");
    WriteHostFile(c() / "Programme" / "Zepanu" / "Liesmich \u00e4.txt", "hello");
    WriteHostFile(c() / "WINDOWS" / "WIN.INI",
                  ReadHostFile(c() / "WINDOWS" / "WIN.INI") + "[Zepanu]\r\nTab=a\tb\r\n");
    Import("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepanu]\n"
           "\"DisplayName\"=\"Dovek\x92s \\\"Zepanu\\\" 1.0\"\n"
           "\"Gr\xF6\xDF"
           "e\"=dword:00000400\n"
           "\"Steuer\"=hex(2):1b,5b,33,31,6d,00\n"
           "[HKEY_CURRENT_USER\\Control Panel\\desktop\\WindowMetrics]\n"
           "\"Shell Icon Size\"=-\n");
    std::string out;
    ASSERT_EQ(Zep("diff vorher --json", &out, true), 1) << out;
    EXPECT_TRUE(JsonCheck::WellFormed(out)) << out;
    EXPECT_TRUE(out.starts_with("{\"snapshot\":\"vorher\",\"taken\":\"20")) << out;
    auto has = [&](const std::string& item) {
        EXPECT_NE(out.find("\n  " + item + (item.ends_with("}") ? "" : ",")), std::string::npos)
            << item << "\n"
            << out;
    };
    has("{\"kind\":\"folder\",\"path\":\"C:\\\\Programme\\\\Zepanu\",\"attributes\":\"\"}");
    has("{\"kind\":\"file\",\"path\":\"C:\\\\Programme\\\\Zepanu\\\\Liesmich \u00e4.txt\","
        "\"size\":5,\"attributes\":\"\",\"sha256\":"
        "\"2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824\"}");
    has("{\"kind\":\"key\",\"path\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Quorvel\"}");
    has("{\"kind\":\"value\",\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Quorvel\\\\Zepanu\","
        "\"name\":\"DisplayName\",\"type\":\"REG_SZ\","
        "\"hex\":\"446f76656b927320225a6570616e752220312e3000\","
        "\"text\":\"Dovek\u2019s \\\"Zepanu\\\" 1.0\"}");
    has("{\"kind\":\"value\",\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Quorvel\\\\Zepanu\","
        "\"name\":\"Gr\u00f6\u00dfe\",\"type\":\"REG_DWORD\",\"hex\":\"00040000\",\"dword\":1024}");
    has("{\"kind\":\"value\",\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Quorvel\\\\Zepanu\","
        "\"name\":\"Steuer\",\"type\":\"REG_EXPAND_SZ\",\"hex\":\"1b5b33316d00\","
        "\"text\":\"\\u001b[31m\"}");
    has("{\"kind\":\"ini\",\"file\":\"C:\\\\WINDOWS\\\\WIN.INI\",\"section\":\"Zepanu\","
        "\"line\":\"Tab=a\\tb\"}");
    has("{\"kind\":\"value\",\"key\":\"HKEY_CURRENT_USER\\\\Control Panel\\\\desktop\\\\"
        "WindowMetrics\",\"name\":\"Shell Icon Size\",\"type\":\"REG_SZ\",\"hex\":\"333200\","
        "\"text\":\"32\"}");
    EXPECT_NE(out.find("\"removed\":[\n  {\"kind\":\"value\""), std::string::npos) << out;
    EXPECT_NE(out.find("  {\"kind\":\"file\",\"path\":\"C:\\\\WINDOWS\\\\WIN.INI\",\"old\":{"
                       "\"path\":\"C:\\\\WINDOWS\\\\WIN.INI\",\"size\":"),
              std::string::npos)
        << out;
    EXPECT_TRUE(out.ends_with(",\n\"counts\":{\"added\":8,\"changed\":1,\"removed\":1}}\n")) << out;

    // The human form shows the control characters escaped, never raw.
    ASSERT_EQ(Zep("diff vorher", &out), 1);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_NE(out.find("\"Steuer\"=hex(2):1b,5b,33,31,6d,00\n"), std::string::npos) << out;
    EXPECT_NE(out.find("[Zepanu] Tab=a\\x09b\n"), std::string::npos) << out;
}

TEST_F(Snapshots, ASnapshotTakenAgainReplacesTheOldOne) {
    Snapshot("stand");
    WriteHostFile(c() / "WINDOWS" / "neu.txt", "x");
    Import("[HKEY_CURRENT_USER\\Software\\Quorvel]\n\"a\"=\"b\"\n");
    EXPECT_NE(Diff("stand"), "");
    Snapshot("stand");
    EXPECT_EQ(Diff("stand", nullptr, 0), "");

    std::string out;
    Snapshot("zweiter");
    ASSERT_EQ(Zep("snapshot --list", &out), 0) << out;
    EXPECT_NE(out.find("stand  20"), std::string::npos) << out;
    EXPECT_LT(out.find("stand  "), out.find("zweiter  ")) << out;
    ASSERT_EQ(Zep("snapshot --delete stand", &out), 0) << out;
    ASSERT_EQ(Zep("snapshot --list", &out), 0) << out;
    EXPECT_EQ(out.find("stand  "), std::string::npos) << out;
    EXPECT_EQ(Zep("snapshot --delete stand", &out), 1);
    EXPECT_NE(out.find("no snapshot named 'stand'"), std::string::npos) << out;
}

TEST_F(Snapshots, TroubleIsStatusTwoWithAMessage) {
    std::string out;
    EXPECT_EQ(Zep("diff fehlt", &out), 2);
    EXPECT_EQ(out, "zepmachine diff: no snapshot named 'fehlt'\n");
    EXPECT_EQ(Zep("diff", &out), 2);
    EXPECT_EQ(Zep("diff a b", &out), 2);
    EXPECT_EQ(Zep("diff a --xml", &out), 2);
    EXPECT_EQ(Zep("snapshot ../x", &out), 2);
    EXPECT_EQ(Zep("snapshot", &out), 2);

    Snapshot("kaputt");
    Snapshot("kurz");
    {
        auto machine = portable::Machine::Open(root());
        auto& db = machine->store();
        // Bytes changed under their checksum; and a cut encoding with a matching checksum.
        db.Exec("UPDATE snapshots SET state = zeroblob(length(state)) WHERE name = 'kaputt'");
        auto& stmt = db.Prepare("SELECT substr(state, 1, 100) FROM snapshots WHERE name = 'kurz'");
        ASSERT_TRUE(stmt.Step());
        std::string cut(stmt.BlobView(0));
        stmt.Reset();
        db.Prepare("UPDATE snapshots SET state = ?1, sha256 = ?2 WHERE name = 'kurz'")
            .BindBlob(1, cut.data(), cut.size())
            .Bind(2, portable::HexText(portable::Sha256::Of(cut)))
            .Run();
    }
    EXPECT_EQ(Zep("diff kaputt", &out), 2);
    EXPECT_EQ(out, "zepmachine diff: snapshot 'kaputt' is damaged: its contents do not match "
                   "their checksum\n");
    EXPECT_EQ(Zep("diff kurz --json", &out), 2);
    EXPECT_TRUE(out.starts_with("zepmachine diff: snapshot 'kurz' is damaged: ")) << out;
    EXPECT_NE(out.find(" at byte "), std::string::npos) << out;

    Snapshot("voll");
    WriteHostFile(c() / "neu.txt", "x");
    std::string zep = std::string(ZEPMACHINE_BIN) + " --machine " + root().string();
    EXPECT_EQ(RunCommand(zep + " diff voll 2>&1 >/dev/full", &out), 2);
    EXPECT_NE(out.find("cannot write the output"), std::string::npos) << out;
    EXPECT_NE(RunCommand(zep + " snapshot --list >/dev/full 2>/dev/null"), 0);
    EXPECT_NE(RunCommand(zep + " snapshot voll >/dev/full 2>/dev/null"), 0);
}

} // namespace
