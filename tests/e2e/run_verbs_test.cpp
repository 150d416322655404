// zepmachine runs, undo and try from the command line: listings, arguments, exit statuses.
// (Taking a run back itself is tested with the run log.)
#include "platform/portable/machine.h"
#include "support/json_check.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

namespace fs = std::filesystem;
using testing_support::JsonCheck;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteHostFile;

class RunVerbs : public ::testing::Test {
protected:
    RunVerbs() {
        EXPECT_EQ(
            RunCommand(std::string(ZEPMACHINE_BIN) + " init " + root().string() + " >/dev/null"),
            0);
    }
    // out gets stdout, and stderr after it unless stderr is given.
    int Zep(const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr) {
        fs::path errors = dir_.path() / "stderr";
        int rc = RunCommand(std::string(ZEPMACHINE_BIN) + " --machine " + root().string() + " " +
                                arguments + " 2>" + errors.string(),
                            out);
        std::string text = testing_support::ReadHostFile(errors);
        if (err)
            *err = text;
        else if (out)
            *out += text;
        return rc;
    }
    // Tries a shell command (with more words for sh), keeping its run; the run's number.
    std::string Try(const std::string& shell, int status = 0, const std::string& words = "") {
        std::string out, err;
        EXPECT_EQ(Zep("try --keep -- sh -c '" + shell + "' " + words, &out, &err), status) << err;
        std::smatch m;
        EXPECT_TRUE(std::regex_search(err, m, std::regex("zepmachine try: run (\\d+) "))) << err;
        return m.size() > 1 ? m[1].str() : "?";
    }
    fs::path root() const { return dir_.path() / "m"; }

    TempDir dir_;
};

TEST_F(RunVerbs, RunsAreListedNewestFirstWithHowTheyEndedAndWhatTookThemBack) {
    std::string out;
    ASSERT_EQ(Zep("runs", &out), 0);
    EXPECT_EQ(out, "no runs\n");
    ASSERT_EQ(Zep("runs --json", &out), 0);
    EXPECT_EQ(out, "[]\n");

    WriteHostFile(dir_.path() / "a.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zep]\r\n");
    std::string changed = Try("\"$ZEPMACHINE\" regedit /s " + (dir_.path() / "a.reg").string());
    std::string killed = Try("kill -KILL $$", 128 + 9);
    std::string forgotten = Try("exit 0");
    ASSERT_EQ(Zep("undo " + changed, &out), 0) << out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m,
                                  std::regex("^run " + changed +
                                             R"( \(sh\) taken back: \d+ changes?; )"
                                             R"(the undo is run (\d+)\n$)")))
        << out;
    std::string undo = m[1].str();
    ASSERT_EQ(Zep("runs --forget " + forgotten, &out), 0) << out;

    ASSERT_EQ(Zep("runs", &out), 0);
    const std::string head = "ID +STARTED +OUTCOME +CHANGES +KEPT +NOTE +PROGRAM\n";
    const std::string time = "\\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z";
    auto row = [&](const std::string& id, const std::string& rest) {
        return " *" + id + "  " + time + "  " + rest + "\n";
    };
    // Other runs may lie between the undo and the runs before it, none among these.
    std::string rows =
        row(undo, "finished +\\d+ +[0-9,]+  undo of run " + changed + " +.*") + "(.*\n)*" +
        row(forgotten, "finished +0 +0  can no longer be undone +sh") +
        row(killed, "killed +0 +0  - +sh") +
        row(changed, "finished +[1-9]\\d* +[0-9,]+  taken back by run " + undo + " +sh");
    EXPECT_TRUE(std::regex_search(out, std::regex("^" + head + rows + "$"))) << out;

    ASSERT_EQ(Zep("runs --json", &out), 0);
    EXPECT_TRUE(JsonCheck::WellFormed(out)) << out;
    const std::regex object(R"(\{"id":\d+,"program":"[^"]*","command":".*","started":"[^"]+",)"
                            R"("ended":("[^"]+"|null),"outcome":"[a-z ]+","changes":\d+,)"
                            R"("kept_bytes":\d+,"undoable":(true|false),"undoes":(\d+|null),)"
                            R"("undone_by":(\d+|null),"alive":(true|false)\},?)");
    size_t objects = 0;
    for (size_t at = 2; at < out.size() && out[at] == '{'; at = out.find('\n', at) + 1, ++objects)
        EXPECT_TRUE(std::regex_match(out.substr(at, out.find('\n', at) - at), object)) << out;
    EXPECT_GE(objects, 4u) << out;
    EXPECT_NE(out.find("{\"id\":" + changed + ",\"program\":\"sh\""), std::string::npos);
    EXPECT_NE(out.find("\"outcome\":\"killed\",\"changes\":0,\"kept_bytes\":0,\"undoable\":true,"
                       "\"undoes\":null,\"undone_by\":null,\"alive\":false}"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\"undoable\":false,\"undoes\":null,\"undone_by\":" + undo),
              std::string::npos)
        << out;

    // A command line is the machine's text: quotes, control bytes and bytes that are not
    // UTF-8 keep the document valid.
    Try("exit 0", 0, R"x("$(printf 'q"\001\377')")x");
    ASSERT_EQ(Zep("runs --json", &out), 0);
    EXPECT_TRUE(JsonCheck::WellFormed(out)) << out;
    EXPECT_NE(out.find(R"(q\"\u0001\ufffd)"), std::string::npos) << out;
    ASSERT_EQ(Zep("runs", &out), 0);
    EXPECT_EQ(out.find('\x01'), std::string::npos) << out;
}

TEST_F(RunVerbs, WrongArgumentsAreUsageErrorsAndTroubleIsStatusOne) {
    const struct {
        const char* arguments;
        int status;
    } cases[] = {
        {"runs --keep-runs 100001", 2},
        {"runs --keep-runs 5x", 2},
        {"runs --keep-runs", 2},
        {"runs --keep-runs 5 --keep-runs 6", 2},
        {"runs --keep-bytes 1.5M", 2},
        {"runs --keep-bytes 2T", 2},
        {"runs --keep-bytes 99999999999999999999", 2},
        {"runs --json x", 2},
        {"runs --forget x", 2},
        {"runs --forget 99", 1},
        {"undo", 2},
        {"undo x", 2},
        {"undo 0", 2},
        {"undo -1", 2},
        {"undo 1 2", 2},
        {"undo 1234567890123456789012", 2},
        {"undo 99", 1},
        {"undo 99 --force", 1},
        {"try", 2},
        {"try --", 2},
        {"try --kep -- true", 2},
        {"try -- /kein/programm", 1},
        {"try -- C:\\\\FEHLT.EXE", 1},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Zep(c.arguments, &out), c.status) << c.arguments << "\n" << out;
        EXPECT_NE(out, "") << c.arguments;
    }
    std::string out;
    ASSERT_EQ(Zep("runs --keep-runs 7 --keep-bytes 3M", &out), 0) << out;
    EXPECT_TRUE(out.starts_with("undo_runs = 7\nundo_bytes = 3145728\n")) << out;
    auto machine = portable::Machine::Open(root());
    EXPECT_EQ(machine->Setting("undo_runs"), "7");
    EXPECT_EQ(machine->Setting("undo_bytes"), "3145728");
}

TEST_F(RunVerbs, HelpOfEachVerbAndArgumentsAfterDashDashAreTheProgramsOwn) {
    for (std::string verb : {"runs", "undo", "try"}) {
        std::string out;
        ASSERT_EQ(Zep(verb + " --help", &out), 0);
        EXPECT_TRUE(out.starts_with("usage: zepmachine " + verb + " ")) << out;
        EXPECT_NE(out.find("Exit status"), std::string::npos) << out;
    }
    std::string out, err;
    EXPECT_EQ(Zep("try -- sh -c 'echo \"$0\"; exit 4' --help", &out, &err), 4) << err;
    EXPECT_EQ(out, "--help\nno differences\n");
}

} // namespace
