// The stand-in generators: every file of the manifest is of its kind by the format's rules
// (read back with the independent readers of format_checks), the documentation hangs
// together, and the contents are the same on every call.
#include "format_checks.h"
#include "german_text.h"
#include "gif_image.h"
#include "html_pages.h"
#include "icon_file.h"
#include "install/manifest.h"
#include "program_image.h"
#include "random.h"
#include "stand_ins.h"
#include "zip_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>

namespace {

using namespace dist_checks;
using install::kManifest;
using install::ManifestRow;

const std::string kSetup = "\x7F"
                           "ELF stand-in of the setup program";

std::string Extension(std::string_view name) {
    std::string extension(name.substr(name.rfind('.') + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    return extension;
}

std::vector<const ManifestRow*> RowsOf(std::string_view extension) {
    std::vector<const ManifestRow*> rows;
    for (const ManifestRow& row : kManifest)
        if (Extension(row.target) == extension)
            rows.push_back(&row);
    return rows;
}

const ManifestRow& RowNamed(std::string_view name) {
    for (const ManifestRow& row : kManifest)
        if (row.target == name)
            return row;
    throw std::invalid_argument("no row " + std::string(name));
}

TEST(StandIns, AreTheSameOnEveryCallAndLongEnoughToPack) {
    for (const ManifestRow& row : kManifest) {
        SCOPED_TRACE(std::string(row.target));
        std::string first = make_dist::StandIn(row, kSetup);
        EXPECT_EQ(make_dist::StandIn(row, kSetup), first);
        EXPECT_GE(first.size(), 16u) << "mscompress mis-packs shorter files";
    }
    EXPECT_EQ(make_dist::StandIn(RowNamed(make_dist::kSetupProgram), kSetup), kSetup);
    EXPECT_THROW(
        make_dist::StandIn({"Setup.dll", install::Folder::Program, "Setup.dl_", 1}, kSetup),
        std::runtime_error);
}

TEST(StandIns, GifImagesDecodeAsViewersDecodeThem) {
    for (const ManifestRow* row : RowsOf("gif")) {
        SCOPED_TRACE(std::string(row->target));
        GifPicture picture;
        ASSERT_EQ(DecodeGif(make_dist::StandIn(*row, kSetup), picture), "");
        EXPECT_EQ(picture.width, 32);
        EXPECT_EQ(picture.height, 32);
        // Something is drawn, and the transparent colour is the background, not the motif.
        auto drawn = std::count_if(picture.pixels.begin(), picture.pixels.end(),
                                   [&](std::uint8_t p) { return p != picture.transparent; });
        EXPECT_GT(drawn, 100);
        EXPECT_LT(drawn, 32 * 32);
    }
}

TEST(StandIns, LzwRoundTripsThroughFullTablesAndLongRuns) {
    make_dist::Random random("lzw");
    std::vector<std::vector<std::uint8_t>> inputs(4);
    for (int i = 0; i < 200000; ++i) // noise: the table fills and is cleared many times
        inputs[0].push_back(random.Below(16));
    inputs[1].assign(100000, 7);    // one run: every code is the one just added (KwKwK)
    for (int i = 0; i < 50000; ++i) // few colours, long repeats: codes reach 12 bits
        inputs[2].push_back(i / 37 % 3);
    inputs[3] = {5};
    for (const auto& input : inputs) {
        std::vector<std::uint8_t> decoded;
        ASSERT_EQ(DecodeLzw(make_dist::LzwEncode(input, 4), 4, decoded), "");
        EXPECT_EQ(decoded, input);
    }
    std::vector<std::uint8_t> decoded;
    ASSERT_EQ(DecodeLzw(make_dist::LzwEncode({}, 2), 2, decoded), "");
    EXPECT_TRUE(decoded.empty());
}

TEST(StandIns, IconsHoldA16AndA256ColourImage) {
    for (const ManifestRow* row : RowsOf("ico")) {
        SCOPED_TRACE(std::string(row->target));
        std::string icon = make_dist::StandIn(*row, kSetup);
        std::vector<int> depths;
        ASSERT_EQ(CheckIcon(icon, depths), "");
        EXPECT_EQ(depths, (std::vector<int>{4, 8}));
        EXPECT_EQ(icon[6], 32);
        EXPECT_EQ(icon[8], 16); // colour count of the 16-colour image
    }
    // The AND mask lets the background through and covers the motif.
    std::string icon = make_dist::IconFile("FldCls1.ico");
    std::size_t image = U32(icon, 6 + 12), maskAt = image + 40 + 64 + 16 * 32;
    std::string mask = icon.substr(maskAt, 4 * 32);
    EXPECT_NE(mask.find('\xFF'), std::string::npos);
    EXPECT_NE(mask.find('\0'), std::string::npos);
}

TEST(StandIns, TheIconLibraryIsADirectoryOfIcons) {
    std::string library = make_dist::StandIn(*RowsOf("icl").at(0), kSetup);
    ASSERT_EQ(library.substr(0, 4), "ICLB");
    EXPECT_EQ(U16(library, 4), 1u);
    const std::size_t count = U16(library, 6);
    EXPECT_EQ(count, make_dist::kLibraryIcons);
    EXPECT_GT(library.size(), 100u * 1000);
    EXPECT_LT(library.size(), 300u * 1000);
    std::size_t expected = 8 + 24 * count;
    std::set<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 8 + 24 * i, offset = U32(library, entry);
        const std::size_t size = U32(library, entry + 4);
        ASSERT_EQ(offset, expected) << i;
        std::vector<int> depths;
        ASSERT_EQ(CheckIcon(std::string_view(library).substr(offset, size), depths), "") << i;
        names.insert(library.substr(entry + 8, 16).c_str());
        expected += size;
    }
    EXPECT_EQ(expected, library.size());
    EXPECT_EQ(names.size(), count);
    EXPECT_TRUE(names.contains("Symbols01"));
}

TEST(StandIns, TheDocumentationArchiveHoldsTheDocFolder) {
    EXPECT_EQ(make_dist::Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(make_dist::Crc32(""), 0u);
    std::string archive = make_dist::StandIn(*RowsOf("zip").at(0), kSetup);
    std::vector<ZipListing> entries;
    ASSERT_EQ(ReadStoredZip(archive, entries), "");
    std::map<std::string, std::string> byName;
    for (const ZipListing& entry : entries) {
        EXPECT_EQ(entry.crc, make_dist::Crc32(entry.data)) << entry.name;
        byName[entry.name] = entry.data;
    }
    for (const ManifestRow& row : kManifest) {
        if (row.folder == install::Folder::Doc) {
            EXPECT_EQ(byName[std::string(row.target)], make_dist::StandIn(row, kSetup))
                << row.target;
        }
    }
    EXPECT_GT(byName["Handbuch.txt"].size(), 50000u);
}

// The targets of HREF and SRC attributes in a page.
std::vector<std::string> LinksOf(const std::string& page) {
    static const std::regex link("(HREF|SRC)=\"([^\"]*)\"");
    std::vector<std::string> links;
    for (auto m = std::sregex_iterator(page.begin(), page.end(), link); m != std::sregex_iterator();
         ++m)
        links.push_back((*m)[2]);
    return links;
}

TEST(StandIns, DocumentationPagesLinkEachOtherInReadingOrder) {
    std::set<std::string> docFiles;
    std::vector<std::string> reading;
    for (const ManifestRow& row : kManifest) {
        if (row.folder != install::Folder::Doc)
            continue;
        docFiles.emplace(row.target);
        if (Extension(row.target) == "htm" && row.target != make_dist::kContentsPage)
            reading.emplace_back(row.target);
    }
    ASSERT_TRUE(docFiles.contains(std::string(make_dist::kContentsPage)));
    for (const ManifestRow* row : RowsOf("htm")) {
        SCOPED_TRACE(std::string(row->target));
        std::string page = make_dist::StandIn(*row, kSetup);
        EXPECT_TRUE(page.starts_with("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">"));
        EXPECT_TRUE(page.ends_with("</BODY>\r\n</HTML>\r\n"));
        EXPECT_NE(page.find("charset=windows-1252"), std::string::npos);
        std::vector<std::string> links = LinksOf(page);
        for (const std::string& link : links)
            EXPECT_TRUE(docFiles.contains(link)) << "broken link " << link;
        auto at = std::find(reading.begin(), reading.end(), row->target);
        if (at == reading.end()) { // the contents: every page
            for (const std::string& other : reading)
                EXPECT_NE(std::find(links.begin(), links.end(), other), links.end()) << other;
            continue;
        }
        std::string previous = at == reading.begin() ? "Start.htm" : *(at - 1);
        std::string next = at + 1 == reading.end() ? "Start.htm" : *(at + 1);
        ASSERT_GE(links.size(), 6u);
        EXPECT_EQ(links[0], previous);
        EXPECT_EQ(links[1], std::string(make_dist::kBackImage));
        EXPECT_EQ(links[4], next);
        EXPECT_EQ(links[5], std::string(make_dist::kForwardImage));
    }
    EXPECT_EQ(make_dist::PageTitle("b_a_a.htm").substr(0, 20), "2.1.1 Installation: ");
    EXPECT_EQ(make_dist::PageTitle("Start.htm"), "Inhalt");
}

TEST(StandIns, TextIsWrappedWindowsText) {
    EXPECT_EQ(make_dist::WindowsText("Grüße\n§ 1\n"), "Gr\xFC\xDF"
                                                      "e\r\n\xA7 1\r\n");
    // Width counts characters, not bytes; later lines get the hanging indent.
    EXPECT_EQ(make_dist::Wrap("ää öö üü ab", 5, "  "), "ää öö\n  üü\n  ab\n");
    EXPECT_EQ(make_dist::Wrap("Überlänge x", 3), "Überlänge\nx\n");
    EXPECT_EQ(make_dist::Wrap("", 10), "");
}

TEST(StandIns, ProgramsAreHarmlessDosProgramsOfTheAskedSize) {
    std::string stub = make_dist::DosStub();
    ASSERT_EQ(stub.size(), 0x80u);
    EXPECT_EQ(stub.substr(0, 2), "MZ");
    EXPECT_EQ(U16(stub, 2) + 512 * (U16(stub, 4) - 1), stub.size()); // load image: the stub
    EXPECT_EQ(U16(stub, 8) * 16, 0x40u);                             // header paragraphs
    EXPECT_EQ(U32(stub, 0x3C), 0u);                                  // no Windows header
    // mov dx, OFFSET: the message, "$"-terminated, lies in the image at that offset.
    const std::size_t code = 0x40;
    ASSERT_EQ(stub.substr(code + 2, 1), "\xBA");
    const std::size_t message = code + U16(stub, code + 3);
    EXPECT_EQ(stub.substr(message, 11), "Platzhalter");
    const std::size_t dollar = stub.find('$', message);
    ASSERT_NE(dollar, std::string::npos);
    EXPECT_LT(dollar, stub.size());

    std::string program = make_dist::ProgramImage("Test.exe", 100000);
    EXPECT_EQ(program.size(), 100000u);
    EXPECT_EQ(program.substr(0, 0x80), stub);
    EXPECT_NE(make_dist::ProgramImage("Other.exe", 100000), program);
}

TEST(StandIns, ProgramSizesFollowTheirShareOfTheProgressBar) {
    for (const ManifestRow* row : RowsOf("exe")) {
        if (row->target == make_dist::kSetupProgram)
            continue;
        SCOPED_TRACE(std::string(row->target));
        std::string program = make_dist::StandIn(*row, kSetup);
        EXPECT_EQ(program.size(), make_dist::kProgramBytesPerWeight * row->weight);
        EXPECT_EQ(program.substr(0, 2), "MZ");
    }
}

} // namespace
