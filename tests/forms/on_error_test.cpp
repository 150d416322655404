// Error handling of procedures: a failed statement is abandoned and the next one runs;
// without a handler the error reaches the caller; End is never caught.
#include "forms/on_error.h"
#include "forms/program_end.h"
#include "forms/runtime.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> trace;

void NoHandler() {
    trace.push_back("inner 1");
    forms::Raise(53);
    trace.push_back("inner 2"); // never: the error leaves the procedure
}

void Caller() {
    forms::OnError run([](const forms::RunTimeError& e) {
        trace.push_back("handled " + std::to_string(forms::Err()) + " " +
                        std::to_string(e.number()));
        return forms::Resume::Next;
    });
    run([] { NoHandler(); });
    run([] { trace.push_back("caller next"); });
}

TEST(OnError, AnErrorWithoutHandlerReachesTheCallersHandler) {
    trace.clear();
    Caller();
    EXPECT_EQ(trace, (std::vector<std::string>{"inner 1", "handled 53 53", "caller next"}));
    EXPECT_EQ(forms::Err(), 0); // only while a handler runs
}

TEST(OnError, AFailedStatementIsAbandonedAndTheNextRuns) {
    std::vector<int> ran;
    forms::OnError run(forms::ResumeNext);
    EXPECT_TRUE(run([&] { forms::Raise(5); }));
    EXPECT_TRUE(run([&] {
        ran.push_back(1);
        forms::Raise(6);
        ran.push_back(99);
    }));
    EXPECT_TRUE(run([&] { ran.push_back(2); }));
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(OnError, AHandlerCanLeaveTheProcedure) {
    std::vector<int> ran;
    forms::OnError run([](const forms::RunTimeError& e) {
        return e.number() == 76 ? forms::Resume::ExitProcedure : forms::Resume::Next;
    });
    run([] { forms::Raise(5); });
    run([&] { ran.push_back(1); });
    EXPECT_FALSE(run([] { forms::Raise(76); }));
    EXPECT_FALSE(run([&] { ran.push_back(2); }));
    EXPECT_TRUE(run.Left());
    EXPECT_EQ(ran, (std::vector<int>{1}));
}

TEST(OnError, EndIsNeverCaught) {
    bool after = false;
    forms::OnError run([](const forms::RunTimeError&) { return forms::Resume::Next; });
    EXPECT_THROW(run([] { forms::End(); }), forms::EndProgram);
    EXPECT_THROW(run([] { throw forms::BackendFailure("x"); }), forms::BackendFailure);
    run([&] { after = true; });
    EXPECT_TRUE(after);
}

} // namespace
