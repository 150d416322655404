// The registry editor's importer. Each case in regedit_cases/ is a script NAME.reg (bytes as
// the editor reads them: Windows-1252, CR LF or LF) and NAME.expect (UTF-8): the problems
// reported, as "! LINE: reason: line", then the registry below the keys named T of each
// root afterwards, as the exporter writes it. REGEDIT_CASES_UPDATE=1 rewrites the .expect
// files from what the importer does (review the diff before committing it).
#include "platform/portable/registry/regedit_import.h"

#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_export.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadHostFile;
using testing_support::TestMachine;
using testing_support::WriteHostFile;

std::string Unix(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// What a case leaves: its problems and the subtrees named T.
std::string Outcome(portable::Machine& machine, const portable::ImportReport& report,
                    const std::string& label) {
    std::string out;
    for (const auto& problem : report.problems)
        out += "! " + problem.substr(label.size() + 1) + "\n";
    for (const char* key :
         {"HKEY_CURRENT_USER\\T", "HKEY_LOCAL_MACHINE\\T", "HKEY_CLASSES_ROOT\\T"}) {
        try {
            std::string text = portable::ExportRegistry(machine, key);
            out += win::FromAnsi(Unix(text.substr(std::string("REGEDIT4\r\n\r\n").size())));
        } catch (const portable::ExportError&) {
            // no such key
        }
    }
    return out;
}

std::vector<fs::path> Cases() {
    std::vector<fs::path> cases;
    for (const auto& entry : fs::directory_iterator(REGEDIT_CASES_DIR)) {
        if (entry.path().extension() == ".reg")
            cases.push_back(entry.path());
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

TEST(RegeditImport, Corpus) {
    auto cases = Cases();
    ASSERT_GE(cases.size(), 10u);
    bool update = std::getenv("REGEDIT_CASES_UPDATE") != nullptr;
    for (const auto& file : cases) {
        SCOPED_TRACE(file.filename().string());
        TestMachine m;
        std::string label = file.filename().string();
        auto report = portable::ImportRegistryScript(m.machine(), ReadHostFile(file), label);
        std::string actual = Outcome(m.machine(), report, label);
        fs::path expectFile = fs::path(file).replace_extension(".expect");
        if (update)
            WriteHostFile(expectFile, actual);
        EXPECT_EQ(actual, ReadHostFile(expectFile));
    }
}

TEST(RegeditImport, ReportsAndJournalsWhatItDid) {
    TestMachine m;
    auto before = m.machine().ReadJournal().back().id;
    std::string script = "REGEDIT4\r\n[HKEY_CURRENT_USER\\T\\A]\r\n\"v\"=\"1\"\r\nbad\r\n"
                         "[-HKEY_CURRENT_USER\\T\\A]\r\n";
    auto report = portable::ImportRegistryScript(m.machine(), script, "C:\\x.reg");
    EXPECT_TRUE(report.accepted);
    EXPECT_EQ(report.keysCreated, 2);
    EXPECT_EQ(report.valuesSet, 1);
    EXPECT_EQ(report.keysDeleted, 1);
    EXPECT_EQ(report.valuesDeleted, 1); // "v" went with its key
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0], "C:\\x.reg:4: line not understood: bad");
    auto journal = m.machine().ReadJournal(before);
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].text, "regedit C:\\x.reg:4: line not understood: bad");
    EXPECT_EQ(journal[1].text, "regedit C:\\x.reg: 2 keys created, 1 values set, 1 keys "
                               "deleted, 1 values deleted, 1 lines skipped");
}

// A store failure part-way leaves nothing of the script behind.
TEST(RegeditImport, AFailingStoreAppliesNothing) {
    TestMachine m;
    std::string before = portable::ExportRegistry(m.machine(), "");
    m.machine().store().Exec("CREATE TEMP TRIGGER fail BEFORE INSERT ON reg_values "
                             "WHEN NEW.name = 'boom' BEGIN SELECT RAISE(ABORT, 'injected'); END");
    std::string script = "REGEDIT4\r\n[HKEY_CURRENT_USER\\T]\r\n\"a\"=\"1\"\r\n"
                         "[-HKEY_CLASSES_ROOT\\txtfile]\r\n[HKEY_CURRENT_USER\\T]\r\n"
                         "\"boom\"=\"2\"\r\n";
    auto report = portable::ImportRegistryScript(m.machine(), script, "fail.reg");
    EXPECT_FALSE(report.accepted);
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_NE(report.problems[0].find("nothing imported"), std::string::npos);
    m.machine().store().Exec("DROP TRIGGER fail");
    EXPECT_EQ(portable::ExportRegistry(m.machine(), ""), before);
}

// Windows 95's limits: 255 characters for a key or value name, 512 levels below a root
// (HKEY_CLASSES_ROOT is two of them already).
TEST(RegeditImport, NamesAndDepthStayWithinTheRegistrysLimits) {
    TestMachine m;
    auto path = [](std::string root, int levels) {
        for (int i = 0; i < levels; ++i)
            root += "\\k";
        return root;
    };
    std::string deepest = path("HKEY_CURRENT_USER\\T", 511);
    std::string script = "REGEDIT4\r\n[" + deepest + "]\r\n\"v\"=\"1\"\r\n" +               // 2, 3
                         "[" + path("HKEY_CURRENT_USER\\T", 512) + "]\r\n\"w\"=\"2\"\r\n" + // 4
                         "[" + path("HKEY_CLASSES_ROOT", 511) + "]\r\n" +                   // 6
                         "[HKEY_CURRENT_USER\\T\\" + std::string(255, 'x') + "]\r\n" + "\"" +
                         std::string(255, 'n') + "\"=dword:1\r\n" + "\"" + std::string(256, 'n') +
                         "\"=dword:2\r\n" +                                           // 9
                         "[HKEY_CURRENT_USER\\T\\" + std::string(256, 'x') + "]\r\n"; // 10
    auto report = portable::ImportRegistryScript(m.machine(), script, "deep.reg");
    ASSERT_EQ(report.problems.size(), 4u);
    EXPECT_NE(report.problems[0].find("deep.reg:4: key deeper than 512 levels: [HKEY_CU"),
              std::string::npos)
        << report.problems[0];
    EXPECT_NE(report.problems[1].find("deep.reg:6: key deeper than 512 levels"), std::string::npos);
    EXPECT_NE(report.problems[2].find("deep.reg:9: value name longer than 255 characters"),
              std::string::npos);
    EXPECT_NE(report.problems[3].find("deep.reg:10: key name longer than 255 characters"),
              std::string::npos);
    EXPECT_EQ(report.valuesSet, 2);
    std::string text = portable::ExportRegistry(m.machine(), "HKEY_CURRENT_USER\\T");
    EXPECT_NE(text.find("[" + deepest + "]\r\n\"v\"=\"1\"\r\n"), std::string::npos);
    auto again = portable::ImportRegistryScript(m.machine(), "REGEDIT4\r\n[-HKEY_CURRENT_USER\\T]",
                                                "undo.reg");
    EXPECT_EQ(again.keysDeleted, 513);
    EXPECT_EQ(again.valuesDeleted, 2);
}

// A damaged store may hold a key deeper than any script could make: its export stops there.
TEST(RegeditImport, ExportRefusesAKeyDeeperThanTheLimit) {
    TestMachine m;
    m.machine().store().Exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
        "INSERT INTO reg_keys(id, parent, name, upper) "
        "SELECT 100000 + i, CASE i WHEN 1 THEN 2 ELSE 100000 + i - 1 END, 'k', 'K' FROM n");
    EXPECT_THROW(portable::ExportRegistry(m.machine(), "HKEY_CURRENT_USER"), portable::ExportError);
}

// Many bad lines: the first few of each kind are quoted, the rest counted, in the report and
// in the journal alike.
TEST(RegeditImport, ProblemsOfOneKindAreQuotedAFewTimesAndThenCounted) {
    TestMachine m;
    auto before = m.machine().ReadJournal().back().id;
    std::string script = "REGEDIT4\r\n";
    for (int i = 0; i < 5000; ++i)
        script += "bad\r\n[HKEY_NIRGENDWO]\r\n";
    auto report = portable::ImportRegistryScript(m.machine(), script, "viel.reg");
    EXPECT_TRUE(report.accepted);
    EXPECT_EQ(report.linesSkipped, 10000);
    ASSERT_EQ(report.problems.size(), 22u);
    EXPECT_EQ(report.problems[0], "viel.reg:2: line not understood: bad");
    EXPECT_EQ(report.problems[20], "viel.reg: 4990 more lines skipped: line not understood");
    EXPECT_EQ(report.problems[21], "viel.reg: 4990 more lines skipped: unknown root key");
    EXPECT_EQ(m.machine().ReadJournal(before).size(), 23u); // and the summary
}

// A problem line is quoted: control bytes escaped (no escape sequence reaches a terminal, a
// NUL cuts nothing short), cut after 60 characters.
TEST(RegeditImport, ProblemLinesAreQuotedSafely) {
    TestMachine m;
    std::string script =
        std::string("REGEDIT4\r\nx\x1b[2J\0weiter\r\n", 24) + std::string(500, 'y') + "\r\n";
    auto report = portable::ImportRegistryScript(m.machine(), script, "esc.reg");
    ASSERT_EQ(report.problems.size(), 2u);
    EXPECT_EQ(report.problems[0], "esc.reg:2: line not understood: x\\x1B[2J\\x00weiter");
    EXPECT_EQ(report.problems[1],
              "esc.reg:3: line not understood: " + std::string(60, 'y') + "...");
}

} // namespace
