// The program-wide state the windows share besides their own controls, the installed
// files and the registry. SysDir lives with the file services that set it
// (Setup_API::SysDir).
#pragma once

#include <cstdint>
#include <string>

namespace app {

// The title of every message box of the program.
inline constexpr const char* kAppTitle = "Konfiguration für Dovek’s Zepanu’s 1.0";

// The program folder in its 8.3 form without a trailing backslash; set once by the
// target folder page, empty in the removal run.
extern std::string ProgDir;
// Set by the system icon writer; read by the options page.
extern bool IconsWritten;
extern bool IconDepthWas16;
// The welcome animation's counter; only grows.
extern std::int16_t AnimStep;

// How a run ended, as the host process's exit status tells scripts. The numbers follow a
// widespread installer's exit codes where one fits (0, 1, 2, 5); the others are the
// program's own. A run that reported an error (RunFailures) ends "with errors": 3 instead
// of 0, 11 and 12 instead of 9 and 10.
enum class Outcome : int {
    Completed = 0,                 // installed (or removed)
    CouldNotRun = 1,               // bad host settings or UI script; the user interface or the
                                   // machine failed
    NothingDone = 2,               // declined or cancelled before anything was installed/removed
    CompletedWithErrors = 3,       // completed, but something failed (see the journal)
    AnotherInstallation = 4,       // another installation or removal is in progress
    CancelledDuringCopy = 5,       // the user cancelled during the copy (folder recycled)
    RestartNeeded = 9,             // completed; the restart question was answered No
    RestartStarted = 10,           // completed; Windows was asked to restart
    RestartNeededWithErrors = 11,  // as 9, and something failed
    RestartStartedWithErrors = 12, // as 10, and something failed
};
// Where the run stands; Main sets NothingDone, the windows move it on.
extern Outcome RunOutcome;

// The exit status of the run: RunOutcome, "with errors" when a failure was noted.
Outcome FinalOutcome();

// Puts the state above back as a new run starts with it (for tests that run several).
void ResetProgramState();

} // namespace app
