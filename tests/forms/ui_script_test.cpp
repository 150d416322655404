// The UI script language: every step form, and every malformed line reported with its
// number.
#include "forms/script/ui_script.h"

#include "forms/program_end.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using forms::script::Answer;
using forms::script::ParseUiScript;
using forms::script::ReadUiScript;
using forms::script::Step;

TEST(UiScript, ReadsEveryKindOfStep) {
    auto parsed = ParseUiScript("# Installation\n"
                                "\n"
                                "click Lizenz.Command1   # accept\n"
                                "MouseUp WillkommenSchirm.WeiterLabel\n"
                                "mousemove WillkommenSchirm.WeiterLabel\n"
                                "set Setup.Text1 \"Dovek's \\\"Zepanu\\\" # 1.0\"\n"
                                "set ProgEinstellungen.DateiTypenCheck(13) 0\n"
                                "close DateinCopy\n"
                                "answer yes \"Setup wurde noch nicht\\nvollständig\"\n"
                                "answer ok\n"
                                "when DateinCopy.DateiName \"ZEPANU.EXE\" close DateinCopy\n",
                                "run.ui");
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors.front();
    const auto& steps = parsed.script.steps;
    ASSERT_EQ(steps.size(), 9u);
    EXPECT_EQ(steps[0].kind, Step::Kind::Click);
    EXPECT_EQ(steps[0].line, 3);
    EXPECT_EQ(steps[0].target.Text(), "Lizenz.Command1");
    EXPECT_EQ(steps[0].source, "click Lizenz.Command1   # accept");
    EXPECT_EQ(steps[1].kind, Step::Kind::MouseUp);
    EXPECT_EQ(steps[2].kind, Step::Kind::MouseMove);
    EXPECT_EQ(steps[3].value, "Dovek's \"Zepanu\" # 1.0");
    EXPECT_EQ(steps[4].target.control, "DateiTypenCheck");
    EXPECT_EQ(steps[4].target.index, 13);
    EXPECT_EQ(steps[4].value, "0");
    EXPECT_EQ(steps[5].kind, Step::Kind::Close);
    EXPECT_EQ(steps[5].target.Text(), "DateinCopy");
    EXPECT_EQ(steps[6].answer, Answer::Yes);
    EXPECT_EQ(steps[6].expected, "Setup wurde noch nicht\nvollständig");
    EXPECT_FALSE(steps[7].expected.has_value());
    ASSERT_EQ(steps[8].kind, Step::Kind::When);
    EXPECT_EQ(steps[8].caption, "ZEPANU.EXE");
    EXPECT_EQ(steps[8].then->kind, Step::Kind::Close);
    EXPECT_EQ(steps[8].then->line, 11);
}

TEST(UiScript, ReportsEveryMalformedLineWithItsNumber) {
    auto parsed = ParseUiScript("click Lizenz.Command1\n"
                                "klick Lizenz.Command1\n"
                                "click Lizenz\n"
                                "click Lizenz.Command1 extra\n"
                                "set Setup.Text1\n"
                                "set Setup.Text1 \"open\n"
                                "answer maybe\n"
                                "answer ok Text\n"
                                "when A.B \"x\" when A.B \"y\" close A\n"
                                "when A.B \"x\" answer ok\n"
                                "click A.B(x)\n"
                                "click A.B(99999)\n"
                                "click \"A.B\"\n"
                                "set A.B \"bad \\q escape\"\n"
                                "close 1A\n"
                                "set A.B x\"y\n",
                                "bad.ui");
    ASSERT_EQ(parsed.errors.size(), 15u);
    for (size_t i = 0; i < parsed.errors.size(); ++i) {
        SCOPED_TRACE(parsed.errors[i]);
        EXPECT_EQ(parsed.errors[i].rfind("bad.ui:" + std::to_string(i + 2) + ": ", 0), 0u);
    }
    EXPECT_NE(parsed.errors[0].find("unknown step 'klick'"), std::string::npos);
    EXPECT_EQ(parsed.script.steps.size(), 1u);
}

TEST(UiScript, QuotesTextsTheWayItReadsThem) {
    EXPECT_EQ(forms::script::Quote("a \"b\" \\ c\r\n"), "\"a \\\"b\\\" \\\\ c\\r\\n\"");
    auto parsed = ParseUiScript("answer ok " + forms::script::Quote("x \"y\"\\z\n") + "\n", "q.ui");
    ASSERT_TRUE(parsed.errors.empty());
    EXPECT_EQ(parsed.script.steps[0].expected, "x \"y\"\\z\n");
}

// Words of a malformed line are quoted as regedit quotes its lines: control bytes escaped
// (no escape sequence reaches the terminal, a NUL cuts nothing short), long ones cut; past
// twenty malformed lines the rest are counted.
TEST(UiScript, ErrorsQuoteTheScriptSafelyAndStayShort) {
    std::string script = std::string("kl\x1b[2Jick A.B\n") + "click " + std::string(100000, 'x') +
                         "\n" + std::string("w\0rt A.B\n", 9);
    for (int i = 0; i < 30; ++i)
        script += "??\n";
    auto parsed = ParseUiScript(script, "bad.ui");
    ASSERT_EQ(parsed.errors.size(), 21u);
    EXPECT_EQ(parsed.errors[0], "bad.ui:1: unknown step 'kl\\x1B[2Jick' (click, mouseup, "
                                "mousemove, set, close, answer, when)");
    EXPECT_EQ(parsed.errors[1], "bad.ui:2: '" + std::string(60, 'x') + "...' is no FORM.CONTROL");
    EXPECT_NE(parsed.errors[2].find("'w\\x00rt'"), std::string::npos) << parsed.errors[2];
    EXPECT_EQ(parsed.errors[20], "bad.ui: 13 more lines with errors");
}

// A script that is no regular file, or larger than 1 MiB, is refused by name before a byte
// is read: a FIFO without a writer would block the run, /dev/zero would fill memory.
TEST(UiScript, ReadsOnlyARegularFileOfSaneSize) {
    testing_support::TempDir dir;
    auto fifo = dir.path() / "fifo.ui";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto large = dir.path() / "large.ui";
    testing_support::WriteHostFile(large, std::string((1 << 20) + 1, '#'));
    auto fits = dir.path() / "fits.ui";
    testing_support::WriteHostFile(fits, std::string((1 << 20) - 15, '#') + "\nclose Lizenz\n");
    struct Case {
        std::string path, message;
    } cases[] = {
        {fifo.string(),
         "cannot read the UI script " + fifo.string() + ": it is not a regular file"},
        {"/dev/zero", "cannot read the UI script /dev/zero: it is not a regular file"},
        {large.string(),
         "cannot read the UI script " + large.string() + ": it is larger than 1024 KiB"},
        {dir.path().string(),
         "cannot read the UI script " + dir.path().string() + ": it is a folder, not a file"},
        {(dir.path() / "none.ui").string(), "cannot read the UI script " +
                                                (dir.path() / "none.ui").string() +
                                                ": No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        try {
            ReadUiScript(c.path);
            ADD_FAILURE() << "read";
        } catch (const forms::BackendFailure& e) {
            EXPECT_EQ(e.message(), c.message);
        }
    }
    EXPECT_EQ(ReadUiScript(fits.string()).steps.size(), 1u);
}

} // namespace
