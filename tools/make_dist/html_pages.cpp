#include "html_pages.h"

#include "german_text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace make_dist {
namespace {

constexpr std::array<std::string_view, 6> kChapters = {
    "Einführung", "Installation", "Symbole und Ordner", "Papierkorb", "Fehlerbehebung", "Anhang",
};

bool IsChapterName(std::string_view stem) {
    if (stem.empty() || stem.size() % 2 == 0)
        return false;
    for (std::size_t i = 0; i < stem.size(); ++i) {
        bool letterPlace = i % 2 == 0;
        if (letterPlace && (stem[i] < 'a' || stem[i] > 'z'))
            return false;
        if (!letterPlace && stem[i] != '_')
            return false;
    }
    return true;
}

std::string Stem(std::string_view name) {
    return std::string(name.substr(0, name.rfind('.')));
}

// "&", "<", ">" and '"' as entities; the rest stays (UTF-8 here, Windows-1252 in the file).
std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Link(std::string_view target, std::string_view image, std::string_view alt) {
    return "<A HREF=\"" + std::string(target) + "\"><IMG SRC=\"" + std::string(image) +
           "\" WIDTH=\"32\" HEIGHT=\"32\" BORDER=\"0\" ALT=\"" + std::string(alt) + "\"></A>";
}

std::string Head(std::string_view title) {
    return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\n"
           "<HTML>\n<HEAD>\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n"
           "<TITLE>" +
           Escaped(title) + "</TITLE>\n</HEAD>\n<BODY BGCOLOR=\"#FFFFFF\">\n";
}

constexpr std::string_view kTail = "</BODY>\n</HTML>\n";

std::string ContentsPage(std::span<const std::string_view> reading) {
    std::string html = Head(PageTitle(kContentsPage));
    if (!reading.empty())
        html += "<P>" + Link(reading.front(), kForwardImage, "Weiter") + "</P>\n";
    html += "<H1>Inhalt</H1>\n<UL>\n";
    for (std::string_view page : reading)
        html += "<LI><A HREF=\"" + std::string(page) + "\">" + Escaped(PageTitle(page)) + "</A>\n";
    html += "</UL>\n";
    return html + std::string(kTail);
}

std::string ChapterPage(std::string_view name, std::span<const std::string_view> reading) {
    auto at = std::find(reading.begin(), reading.end(), name);
    bool listed = at != reading.end();
    std::string_view previous = !listed || at == reading.begin() ? kContentsPage : *(at - 1);
    std::string_view next = !listed || at + 1 == reading.end() ? kContentsPage : *(at + 1);
    Random random(name);
    GermanText prose(random);
    std::string html = Head(PageTitle(name));
    html += "<P>" + Link(previous, kBackImage, "Zurück") + "\n" +
            Link(kContentsPage, kContentsImage, "Inhalt") + "\n" +
            Link(next, kForwardImage, "Weiter") + "</P>\n";
    html += "<H1>" + Escaped(PageTitle(name)) + "</H1>\n";
    int sections = 2 + static_cast<int>(random.Below(3));
    for (int s = 0; s < sections; ++s) {
        std::string heading = prose.Phrase();
        html += "<H2>" + Escaped(heading) + "</H2>\n";
        int paragraphs = 1 + static_cast<int>(random.Below(3));
        for (int p = 0; p < paragraphs; ++p) {
            int sentences = 3 + static_cast<int>(random.Below(4));
            html += Wrap("<P>" + Escaped(prose.Paragraph(sentences)) + "</P>", 76);
        }
        if (random.Percent(40)) {
            html += "<UL>\n";
            for (int i = 0; i < 3; ++i)
                html += "<LI>" + Escaped(prose.Sentence()) + "\n";
            html += "</UL>\n";
        }
    }
    html += "<P><A HREF=\"" + std::string(kContentsPage) + "\">Zum Inhalt</A></P>\n";
    return html + std::string(kTail);
}

} // namespace

std::string PageTitle(std::string_view name) {
    std::string stem = Stem(name);
    if (name == kContentsPage)
        return "Inhalt";
    if (stem.starts_with("about"))
        return "Über diese Hilfe";
    if (!IsChapterName(stem)) {
        Random random(name);
        return GermanText(random).Phrase();
    }
    std::string number;
    for (std::size_t i = 0; i < stem.size(); i += 2)
        number += (i ? "." : "") + std::to_string(stem[i] - 'a' + 1);
    std::size_t chapter = std::min<std::size_t>(stem[0] - 'a', kChapters.size() - 1);
    if (stem.size() == 1)
        return number + " " + std::string(kChapters[chapter]);
    Random random(name);
    return number + " " + std::string(kChapters[chapter]) + ": " + GermanText(random).Phrase();
}

std::string HtmlPage(std::string_view name, std::span<const std::string_view> pages) {
    std::vector<std::string_view> reading;
    for (std::string_view page : pages)
        if (page != kContentsPage)
            reading.push_back(page);
    std::string html = name == kContentsPage ? ContentsPage(reading) : ChapterPage(name, reading);
    return WindowsText(html);
}

} // namespace make_dist
