// The .lnk codec: the layout the writer produces, a round trip of every field, and the
// reader on damaged, truncated and foreign input.
#include "platform/portable/shell/shell_link.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

using portable::DecodeShellLink;
using portable::EncodeShellLink;
using portable::ShellLink;

ShellLink Sample() {
    ShellLink link;
    link.target = "C:\\PROGRA~1\\DOVEK'~1\\Zepanu.exe";
    link.workingDir = "C:\\PROGRA~1\\DOVEK'~1";
    link.arguments = "/s \"M\xFC"
                     "ll\"";
    link.iconLocation = link.target;
    link.fileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    link.writeTime = {0x12345678, 0x01C00000};
    link.fileSize = 4096;
    link.driveSerial = 0x1E2D3C43;
    return link;
}

std::string Encoded(const ShellLink& link) {
    std::string bytes;
    EXPECT_TRUE(EncodeShellLink(link, bytes));
    return bytes;
}

std::uint32_t Le32(const std::string& b, size_t at) {
    auto byte = [&](size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(b[i]));
    };
    return byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
}

void Set32(std::string& b, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>(v >> (8 * i));
}

std::string DecodeError(const std::string& bytes) {
    ShellLink link;
    std::string error;
    EXPECT_FALSE(DecodeShellLink(bytes, link, error));
    return error;
}

TEST(ShellLinkCodec, WritesTheWindows95Layout) {
    std::string b = Encoded(Sample());
    EXPECT_EQ(Le32(b, 0), 0x4Cu);
    EXPECT_EQ(b.substr(4, 16), std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00"
                                           "\x00\x00\x00\x46",
                                           16));
    // LinkInfo, working folder, arguments, icon; no ID list, no Unicode.
    EXPECT_EQ(Le32(b, 0x14), 0x02u | 0x10u | 0x20u | 0x40u);
    EXPECT_EQ(Le32(b, 0x18), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Le32(b, 0x2C), 0x12345678u);
    EXPECT_EQ(Le32(b, 0x34), 4096u);
    EXPECT_EQ(Le32(b, 0x3C), 1u); // SW_SHOWNORMAL
    // LinkInfo right after the header: VolumeID at 0x1C, the path after it.
    const size_t info = 0x4C;
    EXPECT_EQ(Le32(b, info + 4), 0x1Cu);
    EXPECT_EQ(Le32(b, info + 8), 1u); // VolumeIDAndLocalBasePath
    EXPECT_EQ(Le32(b, info + 0x1C + 4), DRIVE_FIXED);
    EXPECT_EQ(b.substr(info + Le32(b, info + 16), 32),
              std::string("C:\\PROGRA~1\\DOVEK'~1\\Zepanu.exe", 32)); // with its NUL
    // The terminal block ends the file.
    EXPECT_EQ(b.substr(b.size() - 4), std::string(4, '\0'));
    // Arguments are counted ANSI bytes (0xFC is ü).
    EXPECT_NE(b.find(std::string("\x09\x00/s \"M\xFCll\"", 11)), std::string::npos);
}

TEST(ShellLinkCodec, EveryFieldSurvivesARoundTrip) {
    ShellLink in = Sample();
    in.name = "Zepanu’s Hilfe";
    in.relativePath = "..\\..\\..\\..\\PROGRA~1\\DOVEK'~1\\Zepanu.exe";
    in.iconIndex = -3;
    in.showCommand = 7;
    in.hotKey = 0x0641;
    in.creationTime = {1, 2};
    in.accessTime = {3, 4};
    in.driveType = DRIVE_CDROM;
    in.volumeLabel = "ZEPANU";
    ShellLink out;
    std::string error;
    ASSERT_TRUE(DecodeShellLink(Encoded(in), out, error)) << error;
    EXPECT_EQ(out.target, in.target);
    EXPECT_EQ(out.name, in.name);
    EXPECT_EQ(out.relativePath, in.relativePath);
    EXPECT_EQ(out.workingDir, in.workingDir);
    EXPECT_EQ(out.arguments, in.arguments);
    EXPECT_EQ(out.iconLocation, in.iconLocation);
    EXPECT_EQ(out.iconIndex, -3);
    EXPECT_EQ(out.showCommand, 7u);
    EXPECT_EQ(out.hotKey, 0x0641);
    EXPECT_EQ(out.fileAttributes, in.fileAttributes);
    EXPECT_EQ(out.creationTime.dwHighDateTime, 2u);
    EXPECT_EQ(out.accessTime.dwLowDateTime, 3u);
    EXPECT_EQ(out.writeTime.dwLowDateTime, 0x12345678u);
    EXPECT_EQ(out.fileSize, 4096u);
    EXPECT_EQ(out.driveType, DRIVE_CDROM);
    EXPECT_EQ(out.driveSerial, in.driveSerial);
    EXPECT_EQ(out.volumeLabel, "ZEPANU");
}

TEST(ShellLinkCodec, RefusesWhatCannotBeWritten) {
    std::string bytes = "untouched";
    ShellLink link = Sample();
    link.target.clear();
    EXPECT_FALSE(EncodeShellLink(link, bytes));
    link.target = std::string("C:\\A\0B", 6);
    EXPECT_FALSE(EncodeShellLink(link, bytes));
    link = Sample();
    link.arguments.assign(0x10000, 'x'); // one past a 16-bit count
    EXPECT_FALSE(EncodeShellLink(link, bytes));
    EXPECT_EQ(bytes, "untouched");
    link.arguments.resize(0xFFFF);
    EXPECT_TRUE(EncodeShellLink(link, bytes));
}

TEST(ShellLinkCodec, EveryTruncationIsRefusedWithAnOffset) {
    ShellLink in = Sample();
    in.name = "n";
    in.volumeLabel = "L";
    const std::string whole = Encoded(in);
    for (size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        std::string error = DecodeError(whole.substr(0, size));
        EXPECT_EQ(error.rfind("offset 0x", 0), 0u) << error;
    }
    EXPECT_EQ(DecodeError(whole.substr(0, 10)),
              "offset 0x0: a shell link header needs 76 bytes, the file has 10");
    char expected[64];
    std::snprintf(expected, sizeof expected,
                  "offset 0x%zX: the file ends before the terminal block", whole.size() - 4);
    EXPECT_EQ(DecodeError(whole.substr(0, whole.size() - 1)), expected);
}

TEST(ShellLinkCodec, DamagedStructuresAreRefused) {
    const std::string good = Encoded(Sample());
    const size_t info = 0x4C;
    const size_t volume = info + 0x1C;
    struct Case {
        const char* what;
        size_t at;
        std::uint32_t value;
        const char* error;
    } cases[] = {
        {"header size", 0, 0x4D, "offset 0x0: header size is 0x4D, not 0x4C: not a shell link"},
        {"class id", 4, 0x00021402, "offset 0x4: class identifier is not the shell link's"},
        {"link info size", info, 0x7FFFFFFF, "offset 0x4C: LinkInfo of 2147483647 bytes runs"},
        {"link info too small", info, 8, "offset 0x4C: LinkInfo of 8 bytes is too small"},
        {"link info header", info + 4, 0x1000, "offset 0x50: LinkInfo header size 0x1000"},
        {"volume offset", info + 12, 0xFFFFFFF0, "VolumeID does not fit in the LinkInfo"},
        {"volume size", volume, 0x4000, "offset 0x68: VolumeID of 16384 bytes does not fit"},
        {"label offset", volume + 12, 0x40, "offset 0x74: volume label offset lies outside"},
        {"base path offset", info + 16, 0x10000, "LocalBasePath starts outside its structure"},
        {"suffix offset", info + 24, 0xFFFFFFFF, "CommonPathSuffix starts outside"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        Set32(bytes, c.at, c.value);
        EXPECT_NE(DecodeError(bytes).find(c.error), std::string::npos) << DecodeError(bytes);
    }

    // A LocalBasePath whose NUL was overwritten runs into the next field but not past
    // the LinkInfo's end.
    std::string bytes = good;
    const size_t end = info + Le32(good, info);
    for (size_t i = info + Le32(good, info + 16); i < end; ++i)
        bytes[i] = 'A';
    EXPECT_NE(DecodeError(bytes).find("LocalBasePath has no terminating NUL"), std::string::npos);

    // An extra data block claiming more than the file holds.
    bytes = good;
    Set32(bytes, bytes.size() - 4, 0x100);
    EXPECT_NE(DecodeError(bytes).find("extra data block of 256 bytes runs past"),
              std::string::npos);
}

// A link as later Windows versions write it: an ID list, a Unicode label, Unicode
// strings and an extra data block before the terminal one.
TEST(ShellLinkCodec, ReadsUnicodeLinksWithIdListAndExtraData) {
    std::string b;
    auto put16 = [&](unsigned v) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>(v >> 8);
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    auto wide = [&](std::u16string_view s) {
        for (char16_t c : s)
            put16(c);
    };
    put32(0x4C);
    b.append("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    put32(0x01 | 0x02 | 0x10 | 0x80); // ID list, link info, working dir, Unicode
    b.append(0x4C - b.size(), '\0');
    // ID list: one 6-byte item and the terminal item.
    put16(8);
    put16(6);
    put32(0xDEADBEEF);
    put16(0);
    // LinkInfo with a Unicode volume label; CommonPathSuffix "x.exe".
    const size_t info = b.size();
    put32(0);               // size, patched below
    put32(0x1C);            // header size
    put32(1);               // VolumeIDAndLocalBasePath
    put32(0x1C);            // VolumeID
    put32(0x1C + 0x18);     // LocalBasePath
    put32(0);               // no network link
    put32(0x1C + 0x18 + 8); // CommonPathSuffix
    put32(0x18);            // VolumeID size
    put32(DRIVE_FIXED);
    put32(0xCAFE);
    put32(0x14);     // label offset: see the Unicode one
    put32(0x14);     // Unicode label offset
    wide(u"\u00C4"); // Ä
    put16(0);
    b += std::string("C:\\Dir\\\0", 8);
    b += std::string("x.exe\0", 6);
    const size_t infoSize = b.size() - info;
    for (int i = 0; i < 4; ++i)
        b[info + i] = static_cast<char>(infoSize >> (8 * i));
    put16(6);
    wide(u"C:\\D\u00F6r"); // "C:\Dör"
    put32(12);
    put32(0xA0000003);
    put32(0);
    put32(0);

    ShellLink out;
    std::string error;
    ASSERT_TRUE(DecodeShellLink(b, out, error)) << error;
    EXPECT_EQ(out.target, "C:\\Dir\\x.exe");
    EXPECT_EQ(out.volumeLabel, "\xC4");
    EXPECT_EQ(out.driveSerial, 0xCAFEu);
    EXPECT_EQ(out.workingDir, "C:\\D\xF6r");

    // An item longer than the ID list, and a list without its terminal item.
    std::string bytes = b;
    bytes[0x4E] = 0x20;
    EXPECT_EQ(DecodeError(bytes),
              "offset 0x4E: item of 32 bytes does not fit in the LinkTargetIDList");
    bytes = b;
    bytes[0x4C] = 6;
    EXPECT_EQ(DecodeError(bytes),
              "offset 0x54: LinkTargetIDList has no terminal item inside its size");
}

} // namespace
