#include "support/ui_fixture.h"

#include "forms/program_end.h"
#include "forms/runtime.h"
#include "platform/portable/clock.h"

namespace testing_support {

UiTest::UiTest() {
    portable::UseClock(portable::ClockKind::Virtual);
    Script("");
}

UiTest::~UiTest() {
    forms::Runtime& runtime = forms::Runtime::Get();
    runtime.Reset();
    runtime.SetBackend(nullptr);
    runtime.SetUnhandledErrorHandler({});
    portable::UseClock(std::nullopt);
}

forms::headless::HeadlessBackend& UiTest::Script(std::string_view text) {
    auto parsed = forms::script::ParseUiScript(text, "test.ui");
    for (const auto& error : parsed.errors)
        ADD_FAILURE() << error;
    auto transcript = std::make_shared<forms::script::Transcript>();
    auto backend =
        std::make_unique<forms::headless::HeadlessBackend>(std::move(parsed.script), transcript);
    forms::Runtime::Get().SetBackend(backend.get());
    backend_ = std::move(backend);
    return *backend_;
}

std::vector<std::string> UiTest::Transcript() const {
    return backend_->transcript().Lines();
}

std::string UiTest::RunProgram(const std::function<void()>& startUp) {
    try {
        forms::RunProgram(startUp);
    } catch (const forms::BackendFailure& failure) {
        forms::Runtime::Get().Reset();
        return failure.message();
    }
    return {};
}

} // namespace testing_support
