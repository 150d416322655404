// zepsetup: the setup and removal program. The argument text belongs to the program
// (see start_up.cpp); host settings come from the environment (backend_choice.h). The exit
// status tells how the run ended (app::FinalOutcome).
#include "app/start_up.h"
#include "forms/app_object.h"
#include "forms/backend_choice.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "platform/machine_access.h"
#include "program/error_model.h"
#include "program/program_state.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

namespace {

int Run() {
    // A machine that can take no change is told before any window asks the user anything.
    if (std::string why = win::WhyNoChangeCanBeMade(); !why.empty()) {
        std::fprintf(stderr, "zepsetup: %s; nothing was changed\n", why.c_str());
        return static_cast<int>(app::Outcome::CouldNotRun);
    }
    std::unique_ptr<forms::Backend> backend = forms::ChooseBackend();
    forms::Runtime& runtime = forms::Runtime::Get();
    runtime.SetBackend(backend.get());
    runtime.SetUnhandledErrorHandler(app::ReportUnhandled);
    forms::App::SetTitle(app::kAppTitle);
    try {
        forms::RunProgram(app::Main);
    } catch (...) {
        runtime.Reset();
        runtime.SetBackend(nullptr);
        throw;
    }
    runtime.SetBackend(nullptr);
    return static_cast<int>(app::FinalOutcome());
}

} // namespace

int main() {
    try {
        return Run();
    } catch (const forms::BackendFailure& failure) {
        std::fprintf(stderr, "zepsetup: %s\n", failure.message().c_str());
    } catch (const forms::RunTimeError& error) {
        std::fprintf(stderr, "zepsetup: run-time error %d: %s\n", error.number(), error.what());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zepsetup: %s\n", error.what());
    }
    return static_cast<int>(app::Outcome::CouldNotRun);
}
