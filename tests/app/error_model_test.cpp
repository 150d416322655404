// The program's error policies and the shared error report.
#include "forms/app_object.h"
#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/msgbox.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "program/error_model.h"
#include "program/program_state.h"
#include "support/ui_fixture.h"

#include <gtest/gtest.h>

namespace {

using testing_support::UiTest;

const std::string kReport53 =
    "Es ist ein Fehler aufgetreten! Dieser Fehler ist bis jetzt noch nie aufgetreten! Bitte "
    "schreiben Sie ein Beschreibung der Fehlermeldung an den Autor. Die Funktion die den "
    "Fehler ausgelöst hat wird abgebrochen, das Programm fährt unmittelbar hinter der "
    "Fehlerstelle fort. (Fehlernummer: 53)";

// Remembers the title of every message box.
class TitleWatch : public forms::headless::HeadlessBackend {
public:
    using HeadlessBackend::HeadlessBackend;
    int MessageBox(std::string_view text, int style, std::string_view title) override {
        titles.emplace_back(title);
        return HeadlessBackend::MessageBox(text, style, title);
    }
    std::vector<std::string> titles;
};

class ErrorModel : public UiTest {
protected:
    ErrorModel() { forms::App::SetTitle(app::kAppTitle); }
    std::vector<int> ran_;
};

TEST(ErrorReport, TextEndsInTheNumberWithItsSign) {
    EXPECT_EQ(app::ErrorReportText(53), kReport53);
    std::string negative = app::ErrorReportText(-2147221504);
    EXPECT_TRUE(negative.ends_with(" (Fehlernummer: -2147221504)")) << negative;
    EXPECT_EQ(negative.substr(0, negative.size() - 13), kReport53.substr(0, kReport53.size() - 4));
}

TEST_F(ErrorModel, ReportAndContinueShowsTheReportAndRunsTheNextStatement) {
    auto parsed = forms::script::ParseUiScript(
        "answer ok " + forms::script::Quote(kReport53) + "\n", "report.ui");
    auto transcript = std::make_shared<forms::script::Transcript>();
    TitleWatch watch(std::move(parsed.script), transcript);
    forms::Runtime::Get().SetBackend(&watch);

    forms::OnError run(app::ReportAndContinue);
    run([&] { forms::Raise(53); }); // the very first statement fails
    run([&] { ran_.push_back(2); });
    run([&] { ran_.push_back(3); });
    EXPECT_EQ(ran_, (std::vector<int>{2, 3}));
    EXPECT_EQ(watch.titles, (std::vector<std::string>{"Konfiguration für Dovek’s Zepanu’s 1.0"}));
    EXPECT_EQ(transcript->Lines().at(0).rfind("msgbox 16 \"Es ist ein Fehler", 0), 0u);
    forms::Runtime::Get().SetBackend(backend_.get());
}

TEST_F(ErrorModel, AnErrorOfACalleeWithoutHandlerIsReportedBehindTheCall) {
    Script("answer ok\n");
    auto callee = [&] {
        ran_.push_back(1);
        forms::Raise(-5);
    };
    forms::OnError run(app::ReportAndContinue);
    run([&] { callee(); });
    run([&] { ran_.push_back(2); });
    EXPECT_EQ(ran_, (std::vector<int>{1, 2}));
    EXPECT_TRUE(Transcript().at(0).ends_with("(Fehlernummer: -5)\" -> 1")) << Transcript().at(0);
}

TEST_F(ErrorModel, OwnMessagesFirstLeavesOnItsOwnNumbersAndReportsTheRest) {
    Script("answer ok\nanswer ok \"eigene 76\"\n");
    auto own = [](std::int32_t number) {
        if (number != 76)
            return false;
        forms::MsgBox("eigene 76", forms::vbCritical);
        return true;
    };
    forms::OnError run(app::OwnMessagesFirst(own));
    run([] { forms::Raise(53); });
    run([&] { ran_.push_back(2); });
    run([] { forms::Raise(76); });
    run([&] { ran_.push_back(4); });
    EXPECT_EQ(ran_, (std::vector<int>{2}));
    EXPECT_EQ(Transcript().size(), 2u);
}

TEST_F(ErrorModel, ContinueSilentlyShowsNothingAndEndPassesEveryPolicy) {
    forms::OnError silent(app::ContinueSilently);
    silent([] { forms::Raise(9); });
    silent([&] { ran_.push_back(2); });
    EXPECT_EQ(ran_, (std::vector<int>{2}));
    EXPECT_TRUE(Transcript().empty());

    for (const forms::ErrorHandler& policy :
         {forms::ErrorHandler(app::ReportAndContinue), forms::ErrorHandler(app::ContinueSilently),
          app::OwnMessagesFirst([](std::int32_t) { return true; })}) {
        forms::OnError run(policy);
        EXPECT_THROW(run([] { forms::End(); }), forms::EndProgram);
    }
}

class Clicky : public forms::Form {
public:
    Clicky() : Form("Clicky") {
        Fails.OnClick = [] { forms::Raise(13); };
    }
    forms::CommandButton Fails{*this, "Fails"};
};
forms::Global<Clicky> TheClicky;

TEST_F(ErrorModel, AnErrorNoHandlerTakesEndsTheEventWithTheReport) {
    forms::Runtime::Get().SetUnhandledErrorHandler(app::ReportUnhandled);
    Script("click Clicky.Fails\nanswer ok\nclose Clicky\n");
    EXPECT_EQ(RunProgram([] { TheClicky->Show(); }), "");
    ASSERT_EQ(Transcript().size(), 4u);
    EXPECT_NE(Transcript()[1].find("(Fehlernummer: 13)"), std::string::npos);
}

} // namespace
