// How the program's procedures treat run-time errors. A procedure runs its statements
// through a forms::OnError with one of these handlers; a failed statement is abandoned
// and, unless the handler leaves the procedure, the next statement runs. A procedure
// without a handler passes the error to its caller. Ending the program is no error and
// is never caught here.
//
//   report and continue    forms::OnError run(app::ReportAndContinue);
//   own messages first     forms::OnError run(app::OwnMessagesFirst(ownMessage));
//   continue silently      forms::OnError run(app::ContinueSilently);
//   none                   no OnError: the statement runs as it is
#pragma once

#include "forms/on_error.h"

#include <cstdint>
#include <functional>
#include <string>

namespace app {

// The shared error report's text for an error number (negative numbers with their sign).
std::string ErrorReportText(std::int32_t number);

// The shared error report: the text for the error being handled (forms::Err) in a
// message box of style 16. Called from a handler; the handler then goes on.
void ReportError();

forms::Resume ReportAndContinue(const forms::RunTimeError& error);
forms::Resume ContinueSilently(const forms::RunTimeError& error);
// ownMessage shows a message of its own for the error numbers it knows and returns true:
// the procedure is then left. Any other error gets the shared report, and the next
// statement runs.
forms::ErrorHandler OwnMessagesFirst(std::function<bool(std::int32_t number)> ownMessage);

// An error escaping an event handler that has no handler of its own and no caller with
// one: the shared error report, and the event is over.
void ReportUnhandled(const forms::RunTimeError& error);

} // namespace app
