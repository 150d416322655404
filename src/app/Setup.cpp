#include "app/Setup.h"

#include "app/DateinCopy.h"
#include "app/WillkommenSchirm.h"
#include "forms/file_statements.h"
#include "forms/msgbox.h"
#include "forms/runtime.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "program/error_model.h"
#include "program/program_state.h"
#include "program/unfinished_installation.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

namespace app {
namespace {

constexpr const char* kDeviceMessage =
    "Dieses gerät ist im Moment leider nicht verfügbar. Vergewissern Sie sich das ein "
    "Datenträger im Laufwerk ist.";
constexpr const char* kCdRomMessage =
    "Sie haben Ihr CD-ROM Laufwerk ausgewählt! Sorry, das geht nicht.";
constexpr const char* kExistsMessage = "Dieser Ordner existiert bereits!";
constexpr const char* kNameMessage =
    "Ein Ordner darf keines der folgenden Zeichen enthalten: \\ / : * ? < > |";

std::string ProgramFilesDir() {
    return WinRegistry::ReadMachineValue("Software\\Microsoft\\Windows\\CurrentVersion",
                                         "ProgramFilesDir")
        .ToString();
}

void MkDirUnlessThere(const std::string& folder) {
    if (win::GetFileAttributesA(win::ToAnsi(folder).c_str()) == INVALID_FILE_ATTRIBUTES)
        forms::MkDir(folder);
}

UINT DriveType(const std::string& drive) {
    std::string root = win::ToAnsi(drive.substr(0, 2)) + "\\";
    return win::GetDriveTypeA(root.c_str());
}

} // namespace

SetupForm::SetupForm() : Form("Setup") {
    SetCaption("Zielordner");
    SetBorderStyle(3); // fixed dialog
    SetClientSize(5175, 3870);
    SetupFrame.SetCaption("Ordner für die Installation auswählen");
    SetupFrame.Move(120, 120, 4935, 3615);
    Drive1.SetContainer(SetupFrame);
    Drive1.Move(240, 360, 4455, 315);
    Drive1.OnChange = [this] { Drive1_Change(); };
    Dir1.SetContainer(SetupFrame);
    Dir1.Move(240, 720, 4455, 1830);
    NameDesOrdners.SetContainer(SetupFrame);
    NameDesOrdners.SetCaption("Name des Programmordners:");
    NameDesOrdners.Move(240, 2760, 2430, 195);
    forms::Font bold;
    bold.bold = true;
    NameDesOrdners.SetFont(bold);
    Text1.SetContainer(SetupFrame);
    Text1.SetText("Dovek's Zepanu's 1.0");
    Text1.Move(240, 3120, 3495, 285);
    WeiterCommand.SetContainer(SetupFrame);
    WeiterCommand.SetCaption("Weiter >");
    WeiterCommand.Move(3960, 3120, 855, 285);
    WeiterCommand.OnClick = [this] { WeiterCommand_Click(); };
}

void SetupForm::Form_Load() {
    Setup_API::CenterForm(*this);
    std::string folder = ProgramFilesDir();
    // Without a usable program files folder the page opens on the Windows folder's drive,
    // at that drive's current folder, instead of failing to open at all.
    forms::OnError run(ContinueSilently);
    bool onItsDrive = false;
    run([&] {
        Drive1.SetDrive(folder);
        onItsDrive = true;
    });
    if (!onItsDrive) {
        run([&] { BackToWindowsDrive(); });
        return;
    }
    run([&] { Dir1.SetPath(folder); });
}

void SetupForm::BackToWindowsDrive() {
    Drive1.SetDrive(Setup_API::GetWindowsDir());
}

void SetupForm::Drive1_Change() {
    forms::OnError run([this](const forms::RunTimeError& error) {
        if (error.number() == forms::kDeviceUnavailable) {
            forms::MsgBox(kDeviceMessage, forms::vbInformation);
            BackToWindowsDrive();
        }
        return forms::Resume::ExitProcedure;
    });
    run([&] { Dir1.SetPath(Drive1.Drive()); });
}

bool SetupForm::OwnMessage(std::int32_t number) {
    switch (number) {
    case forms::kDeviceUnavailable:
        forms::MsgBox(kDeviceMessage, forms::vbInformation);
        BackToWindowsDrive();
        return true;
    case forms::kPathFileAccessError:
        forms::MsgBox(kExistsMessage, forms::vbInformation);
        return true;
    case forms::kPathNotFound:
        forms::MsgBox(kNameMessage, forms::vbCritical);
        return true;
    default:
        return false;
    }
}

void SetupForm::WeiterCommand_Click() {
    forms::OnError run(
        OwnMessagesFirst([this](std::int32_t number) { return OwnMessage(number); }));
    std::string p;
    run([&] { p = Setup_API::AddBackslash(Dir1.Path()) + Text1.Text(); });
    bool cdRom = false;
    run([&] { cdRom = DriveType(Drive1.Drive()) == DRIVE_CDROM; });
    if (cdRom) {
        run([&] { forms::MsgBox(kCdRomMessage, forms::vbInformation); });
        return;
    }
    // The folder of an installation cut off before it finished is taken again, so that
    // it can be finished; any other folder must be new. A new folder is recorded as the
    // unfinished installation's before it is made.
    bool unfinished = false;
    run([&] { unfinished = IsUnfinishedInstallation(p); });
    if (unfinished) {
        run([&] { MkDirUnlessThere(p + "\\Doc"); });
        run([&] { MkDirUnlessThere(p + "\\Icons"); });
    } else {
        run([&] {
            if (win::GetFileAttributesA(win::ToAnsi(p).c_str()) == INVALID_FILE_ATTRIBUTES)
                RecordUnfinishedInstallation(p);
        });
        run([&] { forms::MkDir(p); });
        run([&] { forms::MkDir(p + "\\Doc"); });
        run([&] { forms::MkDir(p + "\\Icons"); });
    }
    run([&] { ProgDir = Setup_API::GetShortPath(p); });
    run([&] { WillkommenSchirm->WeiterLabel.SetEnabled(false); });
    run([&] { forms::Unload(*this); });
    run([&] { DateinCopy->Show(); });
}

} // namespace app
