#include "program/program_state.h"

#include "system/run_failures.h"

namespace app {

std::string ProgDir;
bool IconsWritten = false;
bool IconDepthWas16 = false;
std::int16_t AnimStep = 0;
Outcome RunOutcome = Outcome::NothingDone;

Outcome FinalOutcome() {
    if (RunFailures::Count() == 0)
        return RunOutcome;
    switch (RunOutcome) {
    case Outcome::Completed:
        return Outcome::CompletedWithErrors;
    case Outcome::RestartNeeded:
        return Outcome::RestartNeededWithErrors;
    case Outcome::RestartStarted:
        return Outcome::RestartStartedWithErrors;
    default:
        return RunOutcome; // nothing done, cancelled, refused: the failure changes nothing
    }
}

void ResetProgramState() {
    ProgDir.clear();
    IconsWritten = false;
    IconDepthWas16 = false;
    AnimStep = 0;
    RunOutcome = Outcome::NothingDone;
}

} // namespace app
