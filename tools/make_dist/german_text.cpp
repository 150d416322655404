#include "german_text.h"

#include "platform/codepage.h"

#include <algorithm>
#include <array>

namespace make_dist {
namespace {

constexpr std::array<std::string_view, 40> kNouns = {
    "Datei",        "Ordner",       "Verzeichnis", "Einstellung", "Schaltfläche",  "Oberfläche",
    "Menü",         "Symbol",       "Festplatte",  "Benutzer",    "Programm",      "Fenster",
    "Laufwerk",     "Vorgang",      "Anleitung",   "Änderung",    "Sicherung",     "Verknüpfung",
    "Papierkorb",   "Hilfe",        "Eintrag",     "Liste",       "Größe",         "Übersicht",
    "Taskleiste",   "Startmenü",    "Dateityp",    "Kontextmenü", "Registrierung", "Anzeige",
    "Arbeitsplatz", "Suchfunktion", "Bildschirm",  "Maus",        "Tastatur",      "Vorschau",
    "Auswahl",      "Meldung",      "Sprache",     "Gerät",
};

constexpr std::array<std::string_view, 24> kVerbs = {
    "öffnet",   "zeigt",      "speichert", "wählt",     "löscht",     "prüft",
    "enthält",  "ermöglicht", "ersetzt",   "bestätigt", "verschiebt", "kopiert",
    "ordnet",   "verwaltet",  "findet",    "ändert",    "erstellt",   "schließt",
    "markiert", "überträgt",  "sortiert",  "entfernt",  "beschreibt", "startet",
};

constexpr std::array<std::string_view, 16> kAdjectives = {
    "neue",       "große",   "wichtige", "gewünschte",  "aktuelle",  "übrige",
    "vorhandene", "nächste", "folgende", "einzelne",    "markierte", "gemeinsame",
    "kleine",     "letzte",  "schnelle", "zusätzliche",
};

constexpr std::array<std::string_view, 10> kArticles = {
    "die", "der", "das", "eine", "jede", "diese", "keine", "ihre", "jeder", "den",
};

constexpr std::array<std::string_view, 12> kPrepositions = {
    "mit", "für", "in", "auf", "bei", "nach", "über", "aus", "unter", "vor", "zu", "von",
};

constexpr std::array<std::string_view, 12> kAdverbs = {
    "sofort",       "automatisch", "jederzeit", "ebenfalls", "schrittweise", "anschließend",
    "gleichzeitig", "einfach",     "wieder",    "später",    "bereits",      "zuerst",
};

constexpr std::array<std::string_view, 6> kOpeners = {
    "Wenn", "Sobald", "Falls", "Nachdem", "Während", "Weil",
};

// First letter upper case; the vocabulary starts sentences only with ASCII or an umlaut.
std::string Capitalised(std::string text) {
    if (text.empty())
        return text;
    if (text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
        return text;
    }
    for (auto [lower, upper] : {std::pair{"ä", "Ä"}, {"ö", "Ö"}, {"ü", "Ü"}})
        if (text.starts_with(lower))
            return upper + text.substr(2);
    return text;
}

} // namespace

std::string GermanText::Noun() {
    return std::string(random_.Pick(kNouns));
}

// Every word is drawn in a statement of its own: the order in which the operands of one
// expression are evaluated is unspecified, and the text must not depend on the compiler.
std::string GermanText::Sentence() {
    std::string article = std::string(random_.Pick(kArticles));
    std::string adjective = std::string(random_.Pick(kAdjectives));
    std::string subject = article + " " + adjective + " " + Noun();
    std::string objectArticle = std::string(random_.Pick(kArticles));
    std::string object = objectArticle + " " + Noun();
    std::string verb = std::string(random_.Pick(kVerbs));
    std::string preposition = std::string(random_.Pick(kPrepositions));
    std::string placeArticle = std::string(random_.Pick(kArticles));
    std::string place = preposition + " " + placeArticle + " " + Noun();
    std::string adverb = std::string(random_.Pick(kAdverbs));
    std::string opener = std::string(random_.Pick(kOpeners));
    std::string secondVerb = std::string(random_.Pick(kVerbs));
    switch (random_.Below(4)) {
    case 0:
        return Capitalised(subject + " " + verb + " " + object + " " + place + ".");
    case 1:
        return Capitalised(opener + " " + subject + " " + verb + ", " + secondVerb + " " + object +
                           " " + adverb + ".");
    case 2:
        return Capitalised(adverb + " " + verb + " " + subject + " " + place + " und " + object +
                           ".");
    default:
        return Capitalised(subject + " " + verb + " " + adverb + " " + object + ".");
    }
}

std::string GermanText::Paragraph(int sentences) {
    std::string text;
    for (int i = 0; i < sentences; ++i)
        text += (i ? " " : "") + Sentence();
    return text;
}

std::string GermanText::Phrase() {
    std::string noun = Noun();
    std::string preposition = std::string(random_.Pick(kPrepositions));
    return noun + " " + preposition + " " + Noun();
}

std::string Wrap(std::string_view text, std::size_t width, std::string_view hanging) {
    auto characters = [](std::string_view s) {
        std::size_t n = 0;
        for (unsigned char c : s)
            n += (c & 0xC0) != 0x80;
        return n;
    };
    std::string out, line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.find(' ', start), text.size());
        std::string_view word = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) {
            line = word;
            continue;
        }
        if (characters(line) + 1 + characters(word) > width) {
            out += line + "\n";
            line = std::string(hanging) + std::string(word);
            continue;
        }
        line += " " + std::string(word);
    }
    if (!line.empty())
        out += line + "\n";
    return out;
}

std::string WindowsText(std::string_view utf8) {
    std::string ansi = win::ToAnsi(utf8);
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 16);
    for (char c : ansi) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace make_dist
