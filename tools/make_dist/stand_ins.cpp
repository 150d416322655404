#include "stand_ins.h"

#include "german_text.h"
#include "gif_image.h"
#include "html_pages.h"
#include "icon_file.h"
#include "picture.h"
#include "platform/codepage.h"
#include "program_image.h"
#include "random.h"
#include "text_files.h"
#include "zip_archive.h"

#include <stdexcept>
#include <vector>

namespace make_dist {
namespace {

constexpr int kImageSize = 32;
constexpr int kHandbookChapters = 40;

std::string LowerExtension(std::string_view name) {
    std::size_t dot = name.rfind('.');
    std::string extension(dot == std::string_view::npos ? "" : name.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

bool IsDocPage(const install::ManifestRow& row) {
    return row.folder == install::Folder::Doc && LowerExtension(row.target) == "htm";
}

std::vector<std::string_view> DocPages() {
    std::vector<std::string_view> pages;
    for (const install::ManifestRow& row : install::kManifest)
        if (IsDocPage(row))
            pages.push_back(row.target);
    return pages;
}

// The whole handbook as one text, for the archive.
std::string Handbook() {
    Random random("Handbuch.txt");
    GermanText prose(random);
    std::string text = "HANDBUCH\n========\n\n";
    for (int chapter = 1; chapter <= kHandbookChapters; ++chapter) {
        std::string heading = std::to_string(chapter) + " " + prose.Phrase();
        text += heading + "\n" + std::string(heading.size(), '-') + "\n\n";
        for (int p = 3 + static_cast<int>(random.Below(5)); p > 0; --p) {
            int sentences = 3 + static_cast<int>(random.Below(5));
            text += Wrap(prose.Paragraph(sentences), 72) + "\n";
        }
    }
    return WindowsText(text);
}

// The documentation for reading elsewhere: the pages and images of the Doc folder and the
// handbook as one text.
std::string DocArchive(std::string_view setupProgram) {
    std::vector<ZipEntry> entries;
    for (const install::ManifestRow& row : install::kManifest)
        if (row.folder == install::Folder::Doc)
            entries.push_back({std::string(row.target), StandIn(row, setupProgram)});
    entries.push_back({"Handbuch.txt", Handbook()});
    return StoredZip(entries);
}

std::string TextFile(std::string_view name) {
    if (win::AnsiEqualsNoCase(name, "Terms.txt"))
        return TermsText(name);
    if (win::AnsiEqualsNoCase(name, "Errata.txt"))
        return ErrataText(name);
    return ReadmeText(name);
}

} // namespace

std::string StandIn(const install::ManifestRow& row, std::string_view setupProgram) {
    const std::string_view name = row.target;
    const std::string extension = LowerExtension(name);
    if (extension == "exe" && win::AnsiEqualsNoCase(name, kSetupProgram))
        return std::string(setupProgram);
    if (extension == "exe")
        return ProgramImage(name, kProgramBytesPerWeight * std::max<int>(row.weight, 1));
    if (extension == "txt")
        return TextFile(name);
    if (extension == "bat")
        return BatchFile(name);
    if (extension == "htm") {
        const std::vector<std::string_view> pages = DocPages();
        return HtmlPage(name, pages);
    }
    if (extension == "gif")
        return GifImage(DrawMotif(name, kImageSize));
    if (extension == "ico")
        return IconFile(name);
    if (extension == "icl")
        return IconLibrary(name, kLibraryIcons);
    if (extension == "zip")
        return DocArchive(setupProgram);
    throw std::runtime_error("no stand-in for a file like " + std::string(name));
}

} // namespace make_dist
