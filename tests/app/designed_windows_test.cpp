// Every window of both runs as laid out: captions, texts, positions and sizes in twips,
// fonts, colours and defaults, checked against the design tables control by control.
#include "app/DateinCopy.h"
#include "app/Lizenz.h"
#include "app/ProgEinstellungen.h"
#include "app/Setup.h"
#include "app/WillkommenSchirm.h"
#include "support/ui_fixture.h"
#include "uninstall/KillPrBar.h"
#include "uninstall/UnInstall.h"

#include <gtest/gtest.h>

namespace {

using testing_support::UiTest;

struct Designed {
    const char* control;
    const char* caption;
    float left, top, width, height;
};

// The window's controls (by name, "-" for the window itself) as laid out.
void ExpectDesign(forms::Form& form, std::initializer_list<Designed> rows) {
    for (const Designed& row : rows) {
        SCOPED_TRACE(form.Name() + "." + row.control);
        forms::Control* c = std::string(row.control) == "-" ? &form : form.FindControl(row.control);
        ASSERT_NE(c, nullptr);
        if (row.caption) {
            EXPECT_EQ(c->Caption(), row.caption);
        }
        if (row.width < 0)
            continue;
        EXPECT_EQ(c->Left(), row.left);
        EXPECT_EQ(c->Top(), row.top);
        EXPECT_EQ(c->Width(), row.width);
        if (row.height >= 0) {
            EXPECT_EQ(c->Height(), row.height);
        }
    }
}

// Built, not loaded: no load handler runs.
using DesignedWindows = UiTest;

TEST_F(DesignedWindows, TheAgreementPage) {
    app::LizenzForm w;
    ExpectDesign(w, {
                        {"-", "Dovek’s Lizenzvertrag", 0, 0, -1, -1},
                        {"Picture1", nullptr, 120, 120, 6495, 4575},
                        {"Label2", "Dovek’s Zepanu's 1.0 - Lizenzvertrag", 720, 360, 4725, 360},
                        {"Label4", "WICHTIG!", 2400, 2280, 1245, 300},
                        {"Command1",
                         "   Ja, ich stimme diesen Bedingungen ausdrücklich und "
                         "rechtsverbindlich zu!",
                         3600, 4800, 3015, 615},
                        {"Command2", "Nein das kann ich nicht akzeptieren!", 120, 4800, 1575, 615},
                    });
    EXPECT_EQ(w.Picture1.BackColor(), 0xFFFFFFu);
    EXPECT_EQ(w.Label2.Font().size, 13.5f);
    EXPECT_TRUE(w.Label2.Font().bold);
    EXPECT_EQ(w.Label4.Font().size, 12);
    EXPECT_TRUE(w.Label1.Font().bold);
    EXPECT_EQ(w.Label1.Font().size, 8.25f);
    for (forms::Label* label : {&w.Label1, &w.Label2, &w.Label3, &w.Label4, &w.Label5})
        EXPECT_EQ(label->Container(), &w.Picture1);
}

TEST_F(DesignedWindows, TheWelcomeScreen) {
    app::WillkommenSchirmForm w;
    EXPECT_EQ(w.BorderStyle(), 0);
    EXPECT_EQ(w.BackColor(), 0u);
    ExpectDesign(w, {{"WeiterLabel", "Weiter", 7440, 6480, 1155, 435}});
    EXPECT_FALSE(w.WeiterLabel.Visible());
    EXPECT_EQ(w.WeiterLabel.ForeColor(), RGB(0, 0, 255));
    EXPECT_TRUE(w.WeiterLabel.Font().underline);
    EXPECT_EQ(w.WeiterLabel.Font().size, 18);
    EXPECT_EQ(w.Timer1.Interval(), 3);
    EXPECT_TRUE(w.Timer1.Enabled());
    struct Line {
        const char* text;
        COLORREF colour;
        float size, top;
    } lines[] = {
        {"Es ist Zeit.", RGB(0, 0, 255), 48, 240},
        {"Zeit für etwas neues.", RGB(255, 255, 0), 27.75f, 1320},
        {"Zeit für Dovek’s Zepanu's 1.0!", RGB(0, 255, 0), 24, 2040},
        {"Suchen Sie ein Programmpaket das ", RGB(255, 0, 255), 15.75f, 3000},
        {"- schnell und ohne viel Aufwand Bilder der verschiedensten Formate anzeigt?",
         RGB(0, 255, 255), 12, 3360},
        {"- intimste Systemparameter ändern kann?", RGB(0, 255, 255), 12, 3720},
        {"- Ihnen bei der täglichen Arbeit effektiv, schnell und unkompliziert hilft?",
         RGB(0, 255, 255), 12, 4080},
        {"- Ihr System schneller macht?", RGB(0, 255, 255), 12, 4440},
        {"- features hat die kein anderes Programm bietet?", RGB(0, 255, 255), 12, 4800},
        {"Dann hat Ihre Suche ein Ende! ", RGB(255, 255, 255), 14.25f, 5400},
        {"Klicken Sie auf ‘Weiter’ um in eine neue Welt des Computing aufzubrechen!",
         RGB(255, 255, 255), 12, 5760},
    };
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        const forms::Label& label = w.AnimText(i);
        EXPECT_EQ(label.Caption(), lines[i].text);
        EXPECT_EQ(label.ForeColor(), lines[i].colour);
        EXPECT_EQ(label.Font().size, lines[i].size);
        EXPECT_EQ(label.Font().name, "Arial");
        EXPECT_TRUE(label.Font().bold && label.Font().italic);
        EXPECT_EQ(label.Top(), lines[i].top);
        EXPECT_EQ(label.BackStyle(), 0);
    }
}

TEST_F(DesignedWindows, TheTargetPage) {
    app::SetupForm w;
    ExpectDesign(w,
                 {
                     {"SetupFrame", "Ordner für die Installation auswählen", 120, 120, 4935, 3615},
                     {"Drive1", nullptr, 240, 360, 4455, 315},
                     {"Dir1", nullptr, 240, 720, 4455, 1830},
                     {"NameDesOrdners", "Name des Programmordners:", 240, 2760, 2430, 195},
                     {"Text1", nullptr, 240, 3120, 3495, 285},
                     {"WeiterCommand", "Weiter >", 3960, 3120, 855, 285},
                 });
    EXPECT_TRUE(w.NameDesOrdners.Font().bold);
    const forms::Control* inFrame[] = {&w.Drive1, &w.Dir1, &w.Text1, &w.WeiterCommand};
    for (const forms::Control* c : inFrame)
        EXPECT_EQ(c->Container(), &w.SetupFrame);
}

TEST_F(DesignedWindows, TheCopyWindow) {
    app::DateinCopyForm w;
    ExpectDesign(w, {
                        {"-", "Kopieren...", 0, 0, -1, -1},
                        {"Picture1", nullptr, 120, 120, 2295, 495},
                        {"DateiName", "Datei", 120, 720, -1, -1},
                    });
    EXPECT_EQ(w.DateiName.Left(), 120);
    EXPECT_EQ(w.DateiName.Top(), 720);
    EXPECT_EQ(w.Picture1.BackColor(), RGB(73, 150, 254));
    EXPECT_EQ(w.Picture1.ForeColor(), RGB(255, 0, 0));
}

TEST_F(DesignedWindows, TheOptionsPage) {
    app::ProgEinstellungenForm w;
    ExpectDesign(
        w,
        {
            {"-", "Einstellungen zur Installation", 0, 0, -1, -1},
            {"Frame1", "Dateierweiterungen mit Dovek’s Zepanu's assoziieren", 120, 120, 4335, 3975},
            {"Register_Allgemeines_Ebene1", nullptr, 120, 240, 4095, 3615},
            {"Frame2", "Verschiedenes", 4680, 240, 2895, 3135},
            {"Check1", "Dovek’s Erweiterungen für Kontextmenüs installieren ", 240, 360, 2535, 375},
            {"Check2", "Dovek’s Taskleisten-Symbole aktivieren", 240, 1080, 2295, 375},
            {"Check3",
             "Dovek’s Desktop-Aktualisierung installieren                     "
             "(Diese Option beinhaltet die Veränderung von einigen Icons wie z.B. "
             "für Festplatten und Ordner.)",
             240, 1680, 2415, 1335},
            {"Command2", "Abbrechen", 4680, 3600, 1335, 495},
            {"Command1", "&Weiter >", 6240, 3600, 1335, 495},
        });
    EXPECT_TRUE(w.Command1.Default());
    EXPECT_EQ(w.Line1.BorderColor(), 0xE0E0E0u);
    EXPECT_EQ(w.Line1.X1(), 4680);
    EXPECT_EQ(w.Line1.Y1(), 3480);
    EXPECT_EQ(w.Line1.X2(), 7560);
    EXPECT_EQ(w.Line1.Y2(), 3480);
    const char* captions[] = {"Zip-Dateien (Gepackte Dateien entpacken)",
                              "Cab-Dateien (Gepackte Dateien entpacken)",
                              "Icl-Dateien (Symbolbibliotheken)",
                              "Dll-Dateien (Symbolbibliotheken)",
                              "Ico-Dateien (Symbole)",
                              "Bmp-Dateien (Bilder)",
                              "Rle-Dateien (Bilder)",
                              "Wmf-Dateien (Bilder)",
                              "Gif-Dateien (Bilder)",
                              "Jpg-Dateien (Bilder)",
                              "Cur-Dateien (Mauszeiger)",
                              "Diz-Dateien (Programmbeschreibungen)",
                              "Log-Dateien (Ereignisprotokolle)",
                              "Ordner mit dem Ordnerassistenten verknüpfen"};
    for (int i = 0; i < 14; ++i) {
        SCOPED_TRACE(i);
        forms::CheckBox& box = w.DateiTypenCheck(i);
        EXPECT_EQ(box.Caption(), captions[i]);
        EXPECT_EQ(box.Left(), 120);
        EXPECT_EQ(box.Top(), 120 + 240 * i);
        EXPECT_EQ(box.Height(), 195);
        EXPECT_EQ(box.Value(), 1);
        EXPECT_EQ(box.Container(), &w.Register_Allgemeines_Ebene1);
    }
    EXPECT_EQ(w.DateiTypenCheck(4).Width(), 1935);
    EXPECT_EQ(w.DateiTypenCheck(13).Width(), 3615);
}

TEST_F(DesignedWindows, TheRemovalWindows) {
    uninstall::UnInstallForm ask;
    ExpectDesign(ask, {
                          {"-", "Dovek's Zepanu's löschen", 0, 0, -1, -1},
                          {"Label1",
                           "Sind Sie sicher das Sie Dovek’s Zepanu's DeInstallieren (löschen) "
                           "wollen?",
                           240, 120, 4335, 615},
                          {"Command1", "Ja", 360, 840, 1575, 375},
                          {"Command2", "Nein!", 2760, 840, 1575, 375},
                      });
    EXPECT_EQ(ask.Label1.Font().size, 9.75f);
    EXPECT_TRUE(ask.Label1.Font().bold);

    uninstall::KillPrBarForm progress;
    ExpectDesign(progress, {
                               {"-", "Entfernen...", 0, 0, -1, -1},
                               {"Picture1", nullptr, 120, 120, 2295, 495},
                               {"DateiName", "Datei", 120, 720, -1, -1},
                           });
    EXPECT_EQ(progress.DateiName.Left(), 120);
    EXPECT_EQ(progress.DateiName.Top(), 720);
    EXPECT_TRUE(progress.DateiName.AutoSize());
    EXPECT_EQ(progress.Progress, 0);
}

} // namespace
