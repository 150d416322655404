// Recording the user's actions as a UI script: plain steps where the program waited, `when`
// on the last caption for input that came inside DoEvents, edits of a text box kept as the
// last, answers with their text; the file parses as a UI script; a file that cannot be
// made fails the run before it starts.
#include "forms/control_array.h"
#include "forms/controls.h"
#include "forms/msgbox.h"
#include "forms/program_end.h"
#include "forms/qt/recorder.h"
#include "forms/script/ui_script.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

namespace {

using forms::qt::Recorder;
using forms::qt::UserAction;
using Kind = UserAction::Kind;

class Page : public forms::Form {
public:
    Page() : Form("Page") {
        Named.OnChange = [] {};
    }
    forms::CommandButton Ok{*this, "Ok"};
    forms::TextBox Text{*this, "Text"};
    forms::TextBox Named{*this, "Named"};
    forms::Label Status{*this, "Status"};
    forms::ControlArray<forms::CheckBox> Boxes{*this, "Boxes", 3};
};

TEST(Recorder, StepsWhenAnchorsCollapsedEditsAndAnswers) {
    testing_support::TempDir dir;
    auto file = dir.path() / "rec.ui";
    Page page;
    Recorder r(file.string());
    EXPECT_TRUE(std::filesystem::exists(file)) << "made at once";
    r.Action({Kind::Click, &page.Ok, {}}, false);
    r.Action({Kind::Set, &page.Text, "D"}, false);
    r.Action({Kind::Set, &page.Text, "Do"}, false);
    // A Change handler sees every edit: each one stays.
    r.Action({Kind::Set, &page.Named, "a"}, false);
    r.Action({Kind::Set, &page.Named, "ab"}, false);
    // Inside DoEvents, after a caption changed: anchored on it.
    page.Status.SetCaption("Datei \"3\"");
    r.Captioned(page.Status);
    r.Action({Kind::Close, &page, {}}, true);
    r.Answer(forms::vbNo, "Abbrechen?");
    // Inside DoEvents with no caption changed since: a plain step.
    r.Action({Kind::Click, &page.Boxes(2), {}}, true);
    r.Action({Kind::MouseMove, &page.Status, {}}, false);
    r.Action({Kind::MouseMove, &page.Status, {}}, false);
    r.Action({Kind::MouseUp, &page.Status, {}}, false);
    r.Answer(forms::vbOK, "Fertig");
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{
                             "click Page.Ok",
                             "set Page.Text \"Do\"",
                             "set Page.Named \"a\"",
                             "set Page.Named \"ab\"",
                             "when Page.Status \"Datei \\\"3\\\"\" close Page",
                             "answer no \"Abbrechen?\"",
                             "click Page.Boxes(2)",
                             "mousemove Page.Status",
                             "mouseup Page.Status",
                             "answer ok \"Fertig\"",
                         }));
    r.Finish();
    auto parsed = forms::script::ParseUiScript(testing_support::ReadHostFile(file), "rec.ui");
    EXPECT_TRUE(parsed.errors.empty()) << parsed.errors.front();
    ASSERT_EQ(parsed.script.steps.size(), 10u);
    EXPECT_EQ(parsed.script.steps[4].kind, forms::script::Step::Kind::When);
    EXPECT_EQ(parsed.script.steps[4].caption, "Datei \"3\"");
    EXPECT_EQ(parsed.script.steps[6].target.index, 2);
}

TEST(Recorder, AFileThatCannotBeMadeFailsAtOnce) {
    testing_support::TempDir dir;
    try {
        Recorder r((dir.path() / "no such folder" / "rec.ui").string());
        ADD_FAILURE() << "no failure";
    } catch (const forms::BackendFailure& failure) {
        EXPECT_NE(failure.message().find("cannot create the recording"), std::string::npos)
            << failure.message();
    }
}

} // namespace
