#include "app/DateinCopy.h"

#include "app/ProgEinstellungen.h"
#include "forms/msgbox.h"
#include "forms/runtime.h"
#include "install/DateienKopieren.h"
#include "install/MachShellIcons.h"
#include "install/MachUninstEx.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "program/error_model.h"
#include "program/program_state.h"
#include "program/unfinished_installation.h"
#include "system/Setup_API.h"

#include <cstring>

namespace app {
namespace {

constexpr const char* kCancelQuestion =
    "Setup wurde noch nicht vollständig ausgeführt! Wenn Sie jetzt abbrechen, können Sie das "
    "Programm wahrscheinlich nicht ausführen. Möchten Sie trotzdem abbrechen?";
constexpr const char* kRecycleFailed = "Der Vorgang konnte nicht erfolgreich abgeschlossen werden!";
constexpr int kQuestion = forms::vbYesNo | forms::vbInformation; // 68

// Moves the program folder with everything in it to the recycle bin, without asking.
int RecycleProgramFolder() {
    std::string from = win::ToAnsi(ProgDir);
    from.push_back('\0'); // the list of paths ends with a second NUL
    SHFILEOPSTRUCTA operation;
    std::memset(&operation, 0, sizeof operation);
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    return win::SHFileOperationA(&operation);
}

} // namespace

DateinCopyForm::DateinCopyForm() : Form("DateinCopy") {
    SetCaption("Kopieren...");
    SetBorderStyle(4); // fixed tool window
    SetClientSize(2550, 975);
    Picture1.Move(120, 120, 2295, 495);
    Picture1.SetBackColor(RGB(73, 150, 254));
    Picture1.SetForeColor(RGB(255, 0, 0));
    DateiName.SetCaption("Datei");
    DateiName.SetAutoSize(true);
    DateiName.Move(120, 720, 2295, 195);
}

void DateinCopyForm::Form_Load() {
    Show();
    Setup_API::SetTopMost(*this, -1);
    DateienKopieren();
    // Windows or the task manager closed the window during the copy: the session is
    // ending, so the installation goes no further.
    if (!IsLoaded()) {
        RunOutcome = Outcome::CancelledDuringCopy;
        forms::End();
    }
    MachShellIcons();
    MachUninstEx();
    RunOutcome = Outcome::Completed; // the installation proper is complete
    forms::Unload(*this);
    ProgEinstellungen->Show(forms::vbModal);
}

// The files that could not be installed are named once the copy is over, unless Windows
// closed the window meanwhile (the session is ending).
void DateinCopyForm::DateienKopieren() {
    std::vector<std::string> notInstalled = install::DateienKopieren(DateiName, Picture1);
    if (notInstalled.empty() || !IsLoaded())
        return;
    forms::OnError run(ReportAndContinue);
    run([&] { forms::MsgBox(install::NotInstalledMessage(notInstalled), forms::vbCritical); });
}

std::int32_t DateinCopyForm::MachShellIcons() {
    return install::MachShellIcons();
}

void DateinCopyForm::MachUninstEx() {
    install::MachUninstEx();
}

void DateinCopyForm::Form_QueryUnload(int& cancel, forms::UnloadMode mode) {
    if (mode != forms::UnloadMode::FormControlMenu) {
        forms::OnError run(ReportAndContinue);
        run([&] { Setup_API::SetTopMost(*this, 0); });
        return;
    }
    UserWantsToClose(cancel);
}

void DateinCopyForm::UserWantsToClose(int& cancel) {
    forms::OnError run(ReportAndContinue);
    int answer = forms::vbNo;
    run([&] { Setup_API::SetTopMost(*this, 0); });
    run([&] { win::Sleep(300); });
    run([&] { answer = forms::MsgBox(kCancelQuestion, kQuestion); });
    if (answer != forms::vbYes) {
        cancel = 1;
        return;
    }
    int result = 0;
    run([&] { result = RecycleProgramFolder(); });
    if (result != 0)
        run([&] { forms::MsgBox(kRecycleFailed, forms::vbCritical); });
    else
        run([] { ForgetUnfinishedInstallation(); }); // nothing is left to finish
    RunOutcome = Outcome::CancelledDuringCopy;
    forms::End();
}

} // namespace app
