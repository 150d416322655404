#include "text_files.h"

#include "german_text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace make_dist {
namespace {

constexpr std::size_t kWidth = 72;

constexpr std::array<std::string_view, 8> kTermsSections = {
    "Gegenstand des Vertrags",
    "Nutzungsrecht",
    "Weitergabe und Vervielfältigung",
    "Gewährleistung",
    "Haftung",
    "Datenschutz",
    "Laufzeit und Kündigung",
    "Schlussbestimmungen",
};

} // namespace

std::string TermsText(std::string_view name) {
    Random random(name);
    GermanText prose(random);
    std::string text = "LIZENZVERTRAG UND NUTZUNGSBEDINGUNGEN\n"
                       "=====================================\n\n";
    text += Wrap("Bitte lesen Sie die folgenden Bedingungen sorgfältig, bevor Sie die "
                 "Programme installieren. " +
                     prose.Paragraph(3),
                 kWidth) +
            "\n";
    int number = 1;
    for (std::string_view section : kTermsSections) {
        text += "§ " + std::to_string(number++) + " " + std::string(section) + "\n\n";
        int paragraphs = 2 + static_cast<int>(random.Below(3));
        for (int p = 1; p <= paragraphs; ++p) {
            int sentences = 3 + static_cast<int>(random.Below(4));
            text +=
                Wrap("(" + std::to_string(p) + ") " + prose.Paragraph(sentences), kWidth, "    ") +
                "\n";
        }
    }
    text += "Mit der Installation erkennen Sie diese Bedingungen an.\n";
    return WindowsText(text);
}

std::string ErrataText(std::string_view name) {
    Random random(name);
    GermanText prose(random);
    std::string text = "Errata - Nachträge zum Handbuch\n"
                       "===============================\n\n";
    text +=
        Wrap("Nach Drucklegung des Handbuchs wurden die folgenden Fehler gefunden:", kWidth) + "\n";
    std::vector<int> pages;
    for (int item = 0; item < 9; ++item)
        pages.push_back(3 + static_cast<int>(random.Below(120)));
    std::sort(pages.begin(), pages.end());
    for (int page : pages) {
        std::string sentence = prose.Sentence();
        text += Wrap("- Seite " + std::to_string(page) + ": " + sentence, kWidth, "  ");
    }
    text += "\nWir bitten, diese Fehler zu entschuldigen.\n";
    return WindowsText(text);
}

std::string ReadmeText(std::string_view name) {
    Random random(name);
    GermanText prose(random);
    std::string text = "LIESMICH\n========\n\n";
    for (int i = 0; i < 6; ++i) {
        int sentences = 3 + static_cast<int>(random.Below(4));
        text += Wrap(prose.Paragraph(sentences), kWidth) + "\n";
    }
    return WindowsText(text);
}

std::string BatchFile(std::string_view name) {
    std::string stem(name.substr(0, name.rfind('.')));
    std::string text = "@echo off\n"
                       "rem " +
                       stem +
                       " - Platzhalter aus der Testverteilung.\n"
                       "rem Gibt nur einen Hinweis aus und veraendert nichts.\n"
                       "if \"%1\"==\"/?\" goto hilfe\n"
                       "echo.\n"
                       "echo " +
                       stem +
                       ": Dieser Platzhalter fuehrt keine Aktion aus.\n"
                       "echo.\n"
                       "pause\n"
                       "goto ende\n"
                       ":hilfe\n"
                       "echo Aufruf: " +
                       stem +
                       " [/?]\n"
                       ":ende\n";
    return WindowsText(text);
}

} // namespace make_dist
