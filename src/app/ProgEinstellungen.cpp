#include "app/ProgEinstellungen.h"

#include "app/WillkommenSchirm.h"
#include "forms/msgbox.h"
#include "forms/runtime.h"
#include "install/DateiTypenSchreiben.h"
#include "install/KnotextExVerscheidenes.h"
#include "install/SysSymboleschreiben.h"
#include "install/TaskBarEx.h"
#include "platform/user32.h"
#include "program/error_model.h"
#include "program/install_record.h"
#include "program/program_state.h"
#include "program/unfinished_installation.h"
#include "system/Setup_API.h"

#include <cmath>

namespace app {
namespace {

constexpr const char* kCompleted = "Setup wurde erfolgreich abgeschlossen!";
constexpr const char* kRestartQuestion =
    "Die optischen Aktualisierungen werden erst nach einem Neustart von Windows abgeschlossen. "
    "Soll Windows jetzt neu gestartet werden?";
constexpr const char* kDesktopUpdateOnlyWithColours =
    "Dovek’s Desktop-Aktualisierung installieren (Nur bei mehr als 256 Farben!)";
// The colour count below which the desktop update is not offered (16 and 256 colours).
constexpr std::int32_t kManyColours = 32000;

// Check box i's width: as wide as its caption needs, from 1935 twips for the shortest
// caption (index 4) to 3615 for the longest (index 13), in whole pixels.
float CaptionWidth(std::string_view caption) {
    float characters = 0;
    for (unsigned char c : caption)
        characters += (c & 0xC0) != 0x80 ? 1.0f : 0.0f;
    float twips = 1935 + (characters - 21) * (3615.0f - 1935.0f) / (43 - 21);
    return std::round(twips / 15) * 15;
}

std::string Blanks(int n) {
    return std::string(static_cast<size_t>(n), ' ');
}

// The icon refresh, with the icon size in the installation's record.
void RefreshShellIcons(forms::OnError& run) {
    const std::vector<record::Target> targets = {
        {WinRegistry::HKCU, install::kWindowMetricsKey, "Shell Icon Size"}};
    run([&] { record::Before(record::Step::RefreshShellIcons, targets); });
    run([] { Setup_API::RefreshShellIcons(); });
    run([&] { record::After(record::Step::RefreshShellIcons, targets); });
}

} // namespace

ProgEinstellungenForm::ProgEinstellungenForm() : Form("ProgEinstellungen") {
    SetCaption("Einstellungen zur Installation");
    SetBorderStyle(3); // fixed dialog
    SetClientSize(7710, 4215);
    Frame1.SetCaption("Dateierweiterungen mit Dovek’s Zepanu's assoziieren");
    Frame1.Move(120, 120, 4335, 3975);
    Register_Allgemeines_Ebene1.SetContainer(Frame1);
    Register_Allgemeines_Ebene1.Move(120, 240, 4095, 3615);
    Register_Allgemeines_Ebene1.SetBorderStyle(forms::vbBSNone);
    for (int i = 0; i < DateiTypenCheck.Count(); ++i) {
        forms::CheckBox& box = DateiTypenCheck(i);
        std::string caption(install::kFileTypeCaptions[static_cast<size_t>(i)]);
        box.SetContainer(Register_Allgemeines_Ebene1);
        box.Move(120, 120 + 240 * static_cast<float>(i), CaptionWidth(caption), 195);
        box.SetCaption(std::move(caption));
        box.SetValue(forms::vbChecked);
    }
    Frame2.SetCaption("Verschiedenes");
    Frame2.Move(4680, 240, 2895, 3135);
    Check1.SetContainer(Frame2);
    Check1.SetCaption("Dovek’s Erweiterungen für Kontextmenüs installieren ");
    Check1.Move(240, 360, 2535, 375);
    Check1.SetValue(forms::vbChecked);
    Check2.SetContainer(Frame2);
    Check2.SetCaption("Dovek’s Taskleisten-Symbole aktivieren");
    Check2.Move(240, 1080, 2295, 375);
    Check2.SetValue(forms::vbChecked);
    Check3.SetContainer(Frame2);
    // The blanks push the second sentence onto the next lines.
    Check3.SetCaption("Dovek’s Desktop-Aktualisierung installieren" + Blanks(21) +
                      "(Diese Option beinhaltet die Veränderung von einigen Icons wie z.B. "
                      "für Festplatten und Ordner.)");
    Check3.Move(240, 1680, 2415, 1335);
    Check3.SetValue(forms::vbChecked);
    Line1.SetEnds(4680, 3480, 7560, 3480);
    Line1.SetBorderColor(0xE0E0E0);
    Command2.SetCaption("Abbrechen");
    Command2.Move(4680, 3600, 1335, 495);
    Command2.OnClick = [this] { Command2_Click(); };
    Command1.SetCaption("&Weiter >");
    Command1.Move(6240, 3600, 1335, 495);
    Command1.SetDefault(true);
    Command1.OnClick = [this] { Command1_Click(); };
}

void ProgEinstellungenForm::Form_Load() {
    std::int32_t colours = Setup_API::GetColourCount().value_or(0);
    if (colours < kManyColours) {
        Check3.SetEnabled(false);
        Check3.SetCaption(kDesktopUpdateOnlyWithColours);
        Check3.SetValue(forms::vbUnchecked);
    }
    Setup_API::CenterForm(*this);
}

// The close box has no step of its own: the installation proper is complete, so it ends
// the run as "Abbrechen" does instead of leaving the user at the welcome screen.
void ProgEinstellungenForm::Form_QueryUnload(int& cancel, forms::UnloadMode mode) {
    (void)cancel;
    if (mode == forms::UnloadMode::FormControlMenu)
        Command2_Click();
}

void ProgEinstellungenForm::DateiTypenSchreiben() {
    std::array<forms::CheckBox*, install::kFileTypeRows> boxes{};
    for (int i = 0; i < DateiTypenCheck.Count(); ++i)
        boxes[static_cast<size_t>(i)] = &DateiTypenCheck(i);
    install::DateiTypenSchreiben(boxes);
}

void ProgEinstellungenForm::KnotextExVerscheidenes() {
    install::KnotextExVerscheidenes();
}

void ProgEinstellungenForm::TaskBarEx() {
    install::TaskBarEx();
}

void ProgEinstellungenForm::SysSymboleschreiben() {
    install::SysSymboleschreiben();
}

void ProgEinstellungenForm::Command1_Click() {
    Command1.SetEnabled(false);
    Command2.SetEnabled(false);
    bool desktopUpdate = Check3.Value() == forms::vbChecked;
    // TaskBarEx has no handler of its own: an error ends it and is reported here, and the
    // run goes on, so that the page with its disabled buttons is never left standing.
    forms::OnError run(ReportAndContinue);
    run([&] { DateiTypenSchreiben(); });
    if (Check1.Value() == forms::vbChecked)
        run([&] { KnotextExVerscheidenes(); });
    if (Check2.Value() == forms::vbChecked)
        run([&] { TaskBarEx(); });
    if (Check3.Value() == forms::vbChecked)
        run([&] { SysSymboleschreiben(); });
    if (IconsWritten)
        RefreshShellIcons(run);
    run([&] { forms::Unload(*this); });
    run([&] {
        if (WillkommenSchirm.Loaded())
            forms::Unload(*WillkommenSchirm);
    });
    if (IconsWritten)
        RefreshShellIcons(run);
    run([] { ForgetUnfinishedInstallation(); });
    run([&] { Finish(desktopUpdate); });
    forms::End();
}

void ProgEinstellungenForm::Finish(bool desktopUpdateChosen) {
    if (IconDepthWas16 || !desktopUpdateChosen) {
        forms::MsgBox(kCompleted, forms::vbInformation);
        return;
    }
    if (forms::MsgBox(kRestartQuestion, forms::vbYesNo | forms::vbInformation) != forms::vbYes) {
        RunOutcome = Outcome::RestartNeeded;
        return;
    }
    // A refused request goes unnoticed by the user; the exit status tells the truth.
    bool started = win::ExitWindowsEx(EWX_REBOOT, 0);
    RunOutcome = started ? Outcome::RestartStarted : Outcome::RestartNeeded;
}

void ProgEinstellungenForm::Command2_Click() {
    forms::OnError run(ReportAndContinue);
    run([] { ForgetUnfinishedInstallation(); });
    forms::MsgBox(kCompleted, forms::vbInformation);
    forms::End();
}

} // namespace app
