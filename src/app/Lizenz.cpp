#include "app/Lizenz.h"

#include "app/WillkommenSchirm.h"
#include "forms/msgbox.h"
#include "forms/runtime.h"
#include "program/error_model.h"
#include "program/install_record.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

namespace app {
namespace {

constexpr COLORREF kWhite = 0xFFFFFF;

constexpr const char* kWarning = "Bitte lesen Sie die folgenden Bedingungen sorgfältig durch!";
constexpr const char* kConditions =
    "Dovek’s Zepanu's 1.0 darf von Privatpersonen kostenlos benutzt und in unveränderter "
    "Form weitergegeben werden. Jede gewerbliche Nutzung, der Verkauf und jede Veränderung "
    "der Programmdateien bedürfen der vorherigen schriftlichen Zustimmung des Autors.";
constexpr const char* kLiability =
    "Das Programm wird ohne jede Gewährleistung zur Verfügung gestellt. Der Autor haftet "
    "nicht für Schäden an Hard- und Software, für Datenverluste oder für sonstige Folgen, "
    "die aus der Benutzung oder der Unmöglichkeit der Benutzung dieses Programms "
    "entstehen. Mit der Installation erkennen Sie diese Bedingungen an.";
constexpr const char* kDeclined =
    "Leider können Sie das Programm nur ausführen wenn Sie diesen Bedingungen zustimmen!";

forms::Font SansSerif(float size, bool bold) {
    forms::Font font;
    font.size = size;
    font.bold = bold;
    return font;
}

// A label on the white panel.
void OnPanel(forms::Label& label, forms::PictureBox& panel, std::string caption, float left,
             float top, float width, float height, forms::Font font) {
    label.SetContainer(panel);
    label.SetCaption(std::move(caption));
    label.Move(left, top, width, height);
    label.SetFont(std::move(font));
    label.SetBackColor(kWhite);
}

} // namespace

LizenzForm::LizenzForm() : Form("Lizenz") {
    SetCaption("Dovek’s Lizenzvertrag");
    SetBorderStyle(3); // fixed dialog
    SetClientSize(6735, 5535);
    Picture1.Move(120, 120, 6495, 4575);
    Picture1.SetBackColor(kWhite);
    OnPanel(Label2, Picture1, "Dovek’s Zepanu's 1.0 - Lizenzvertrag", 720, 360, 4725, 360,
            SansSerif(13.5f, true));
    OnPanel(Label1, Picture1, kWarning, 240, 960, 6015, 255, SansSerif(8.25f, true));
    OnPanel(Label3, Picture1, kConditions, 240, 1320, 6015, 855, SansSerif(8.25f, false));
    OnPanel(Label4, Picture1, "WICHTIG!", 2400, 2280, 1245, 300, SansSerif(12, true));
    OnPanel(Label5, Picture1, kLiability, 240, 2760, 6015, 1575, SansSerif(8.25f, false));
    Command1.SetCaption(
        "   Ja, ich stimme diesen Bedingungen ausdrücklich und rechtsverbindlich zu!");
    Command1.Move(3600, 4800, 3015, 615);
    Command1.OnClick = [this] { Command1_Click(); };
    Command2.SetCaption("Nein das kann ich nicht akzeptieren!");
    Command2.Move(120, 4800, 1575, 615);
    Command2.OnClick = [this] { Command2_Click(); };
}

void LizenzForm::Form_Load() {
    Setup_API::CenterForm(*this);
}

void LizenzForm::Command1_Click() {
    // The record keeps the keys this first write creates.
    const std::vector<record::Target> targets = {
        {WinRegistry::HKCU, kAcceptanceKey, kAcceptanceValue}};
    forms::OnError run(ReportAndContinue);
    run([&] { record::Before(record::Step::Lizenz, targets); });
    WinRegistry::WriteValue(WinRegistry::HKCU, kAcceptanceKey, kAcceptanceValue, "Ja");
    run([&] { record::After(record::Step::Lizenz, targets); });
    forms::Unload(*this);
    WillkommenSchirm->Show();
}

void LizenzForm::Command2_Click() {
    forms::MsgBox(kDeclined, forms::vbInformation);
    forms::End();
}

} // namespace app
