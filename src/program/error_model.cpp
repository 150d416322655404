#include "program/error_model.h"

#include "forms/msgbox.h"
#include "system/run_failures.h"

namespace app {
namespace {

constexpr const char* kReportText =
    "Es ist ein Fehler aufgetreten! Dieser Fehler ist bis jetzt noch nie aufgetreten! Bitte "
    "schreiben Sie ein Beschreibung der Fehlermeldung an den Autor. Die Funktion die den "
    "Fehler ausgelöst hat wird abgebrochen, das Programm fährt unmittelbar hinter der "
    "Fehlerstelle fort. (Fehlernummer: ";

} // namespace

std::string ErrorReportText(std::int32_t number) {
    return kReportText + std::to_string(number) + ")";
}

void ReportError() {
    RunFailures::Note("run-time error " + std::to_string(forms::Err()) +
                      " reported to the user (the shared error report)");
    forms::MsgBox(ErrorReportText(forms::Err()), forms::vbCritical);
}

forms::Resume ReportAndContinue(const forms::RunTimeError&) {
    ReportError();
    return forms::Resume::Next;
}

forms::Resume ContinueSilently(const forms::RunTimeError&) {
    return forms::Resume::Next;
}

forms::ErrorHandler OwnMessagesFirst(std::function<bool(std::int32_t number)> ownMessage) {
    return [ownMessage = std::move(ownMessage)](const forms::RunTimeError& error) {
        if (ownMessage(error.number()))
            return forms::Resume::ExitProcedure;
        ReportError();
        return forms::Resume::Next;
    };
}

void ReportUnhandled(const forms::RunTimeError& error) {
    forms::HandlingError handling(error);
    ReportError();
}

} // namespace app
