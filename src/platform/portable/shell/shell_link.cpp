#include "platform/portable/shell/shell_link.h"

#include "platform/codepage.h"

#include <array>
#include <cstdio>

namespace portable {
namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
// {00021401-0000-0000-C000-000000000046} as stored (the first three fields little-endian).
constexpr std::array<std::uint8_t, 16> kLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// LinkFlags.
constexpr std::uint32_t kHasLinkTargetIdList = 0x01;
constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kHasName = 0x04;
constexpr std::uint32_t kHasRelativePath = 0x08;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;

// LinkInfo.
constexpr std::uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr std::uint32_t kLinkInfoHeaderSizeUnicode = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x01;
constexpr std::uint32_t kVolumeIdSize = 0x10;
constexpr std::uint32_t kVolumeLabelOffsetUnicode = 0x14;

// The counted strings of StringData, in file order.
struct StringField {
    std::uint32_t flag;
    std::string ShellLink::*member;
    const char* name;
};
constexpr StringField kStringFields[] = {
    {kHasName, &ShellLink::name, "NAME_STRING"},
    {kHasRelativePath, &ShellLink::relativePath, "RELATIVE_PATH"},
    {kHasWorkingDir, &ShellLink::workingDir, "WORKING_DIR"},
    {kHasArguments, &ShellLink::arguments, "COMMAND_LINE_ARGUMENTS"},
    {kHasIconLocation, &ShellLink::iconLocation, "ICON_LOCATION"},
};

void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void PutFileTime(std::string& out, const FILETIME& t) {
    Put32(out, t.dwLowDateTime);
    Put32(out, t.dwHighDateTime);
}

void EncodeHeader(const ShellLink& link, std::uint32_t flags, std::string& out) {
    Put32(out, kHeaderSize);
    out.append(reinterpret_cast<const char*>(kLinkClsid.data()), kLinkClsid.size());
    Put32(out, flags);
    Put32(out, link.fileAttributes);
    PutFileTime(out, link.creationTime);
    PutFileTime(out, link.accessTime);
    PutFileTime(out, link.writeTime);
    Put32(out, link.fileSize);
    Put32(out, static_cast<std::uint32_t>(link.iconIndex));
    Put32(out, link.showCommand);
    Put16(out, link.hotKey);
    Put16(out, 0); // Reserved1
    Put32(out, 0); // Reserved2
    Put32(out, 0); // Reserved3
}

// LinkInfo: header, VolumeID with the label, LocalBasePath, an empty CommonPathSuffix.
void EncodeLinkInfo(const ShellLink& link, std::string& out) {
    const auto volumeSize = static_cast<std::uint32_t>(kVolumeIdSize + link.volumeLabel.size() + 1);
    const std::uint32_t volumeOffset = kLinkInfoHeaderSize;
    const std::uint32_t basePathOffset = volumeOffset + volumeSize;
    const auto suffixOffset = static_cast<std::uint32_t>(basePathOffset + link.target.size() + 1);
    const std::uint32_t size = suffixOffset + 1;

    Put32(out, size);
    Put32(out, kLinkInfoHeaderSize);
    Put32(out, kVolumeIdAndLocalBasePath);
    Put32(out, volumeOffset);
    Put32(out, basePathOffset);
    Put32(out, 0); // no CommonNetworkRelativeLink
    Put32(out, suffixOffset);

    Put32(out, volumeSize);
    Put32(out, link.driveType);
    Put32(out, link.driveSerial);
    Put32(out, kVolumeIdSize); // the label follows at once
    out += link.volumeLabel;
    out += '\0';

    out += link.target;
    out += '\0';
    out += '\0'; // CommonPathSuffix
}

std::string Hex(size_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%zX", v);
    return text;
}

// UTF-16LE code units to Windows-1252 ('?' for what it lacks and for broken pairs).
std::string Utf16ToAnsi(std::string_view bytes) {
    std::string utf8;
    auto unit = [&](size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    const size_t count = bytes.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return win::ToAnsi(utf8);
}

// Bounds-checked reads from the file; every failure names the offset it happened at.
class Decoder {
public:
    Decoder(std::string_view bytes, std::string& error) : bytes_(bytes), error_(error) {}

    size_t size() const { return bytes_.size(); }

    bool Fail(size_t at, const std::string& what) {
        error_ = "offset " + Hex(at) + ": " + what;
        return false;
    }

    // True when [at, at + length) lies within limit (itself within the file).
    bool Fits(size_t at, size_t length, size_t limit) const {
        return at <= limit && length <= limit - at;
    }

    bool Need(size_t at, size_t length, const char* what) {
        if (Fits(at, length, bytes_.size()))
            return true;
        return Fail(at, std::string(what) + " of " + std::to_string(length) +
                            " bytes runs past the end of the file (" +
                            std::to_string(bytes_.size()) + " bytes)");
    }

    std::uint16_t U16(size_t at) const {
        return static_cast<std::uint16_t>(Byte(at) | (Byte(at + 1) << 8));
    }
    std::uint32_t U32(size_t at) const {
        return static_cast<std::uint32_t>(U16(at)) |
               (static_cast<std::uint32_t>(U16(at + 2)) << 16);
    }
    FILETIME Time(size_t at) const { return {U32(at), U32(at + 4)}; }
    std::string_view Bytes(size_t at, size_t length) const { return bytes_.substr(at, length); }

    // A NUL-terminated ANSI string starting at at and ending before limit.
    bool CString(size_t at, size_t limit, const char* what, std::string& out) {
        if (at >= limit)
            return Fail(at, std::string(what) + " starts outside its structure");
        size_t end = bytes_.find('\0', at);
        if (end == std::string_view::npos || end >= limit)
            return Fail(at, std::string(what) + " has no terminating NUL inside its structure");
        out.assign(bytes_.substr(at, end - at));
        return true;
    }

    // A NUL-terminated UTF-16 string starting at at and ending before limit.
    bool WString(size_t at, size_t limit, const char* what, std::string& out) {
        for (size_t end = at; end + 1 < limit; end += 2) {
            if (U16(end) == 0) {
                out = Utf16ToAnsi(bytes_.substr(at, end - at));
                return true;
            }
        }
        return Fail(at, std::string(what) + " has no terminating NUL inside its structure");
    }

private:
    unsigned Byte(size_t at) const { return static_cast<unsigned char>(bytes_[at]); }

    std::string_view bytes_;
    std::string& error_;
};

bool DecodeHeader(Decoder& d, ShellLink& link, std::uint32_t& flags) {
    if (d.size() < kHeaderSize)
        return d.Fail(0, "a shell link header needs 76 bytes, the file has " +
                             std::to_string(d.size()));
    if (d.U32(0) != kHeaderSize)
        return d.Fail(0, "header size is " + Hex(d.U32(0)) + ", not 0x4C: not a shell link");
    std::string_view clsid = d.Bytes(4, kLinkClsid.size());
    if (clsid !=
        std::string_view(reinterpret_cast<const char*>(kLinkClsid.data()), kLinkClsid.size()))
        return d.Fail(4, "class identifier is not the shell link's");
    flags = d.U32(0x14);
    link.fileAttributes = d.U32(0x18);
    link.creationTime = d.Time(0x1C);
    link.accessTime = d.Time(0x24);
    link.writeTime = d.Time(0x2C);
    link.fileSize = d.U32(0x34);
    link.iconIndex = static_cast<std::int32_t>(d.U32(0x38));
    link.showCommand = d.U32(0x3C);
    link.hotKey = d.U16(0x40);
    return true;
}

// LinkTargetIDList: a size, then items of (size, data) up to a zero terminal item, all
// within the size given.
bool SkipIdList(Decoder& d, size_t& pos) {
    if (!d.Need(pos, 2, "LinkTargetIDList size"))
        return false;
    const size_t listSize = d.U16(pos);
    const size_t start = pos + 2;
    if (!d.Need(start, listSize, "LinkTargetIDList"))
        return false;
    const size_t end = start + listSize;
    size_t at = start;
    for (;;) {
        if (!d.Fits(at, 2, end))
            return d.Fail(at, "LinkTargetIDList has no terminal item inside its size");
        const size_t item = d.U16(at);
        if (item == 0)
            break;
        if (item < 2 || !d.Fits(at, item, end))
            return d.Fail(at, "item of " + std::to_string(item) +
                                  " bytes does not fit in the LinkTargetIDList");
        at += item;
    }
    pos = end;
    return true;
}

bool DecodeVolumeId(Decoder& d, size_t at, size_t limit, ShellLink& link) {
    if (!d.Fits(at, kVolumeIdSize, limit))
        return d.Fail(at, "VolumeID does not fit in the LinkInfo");
    const size_t size = d.U32(at);
    if (size < kVolumeIdSize || !d.Fits(at, size, limit))
        return d.Fail(at, "VolumeID of " + std::to_string(size) +
                              " bytes does not fit in the LinkInfo");
    link.driveType = d.U32(at + 4);
    link.driveSerial = d.U32(at + 8);
    const size_t labelOffset = d.U32(at + 12);
    if (labelOffset == kVolumeLabelOffsetUnicode) {
        if (size < kVolumeLabelOffsetUnicode)
            return d.Fail(at, "VolumeID too small for its Unicode label offset");
        const size_t unicodeOffset = d.U32(at + 16);
        if (unicodeOffset >= size)
            return d.Fail(at + 16, "volume label offset lies outside the VolumeID");
        return d.WString(at + unicodeOffset, at + size, "volume label", link.volumeLabel);
    }
    if (labelOffset >= size)
        return d.Fail(at + 12, "volume label offset lies outside the VolumeID");
    return d.CString(at + labelOffset, at + size, "volume label", link.volumeLabel);
}

// LinkInfo: where the target lies. Only the local form is read (a network-only link
// decodes with an empty target).
bool DecodeLinkInfo(Decoder& d, size_t& pos, ShellLink& link) {
    const size_t start = pos;
    if (!d.Need(start, 4, "LinkInfo size"))
        return false;
    const size_t size = d.U32(start);
    if (size < kLinkInfoHeaderSize)
        return d.Fail(start, "LinkInfo of " + std::to_string(size) + " bytes is too small");
    if (!d.Need(start, size, "LinkInfo"))
        return false;
    const size_t end = start + size;
    const size_t headerSize = d.U32(start + 4);
    if (headerSize < kLinkInfoHeaderSize || headerSize > size)
        return d.Fail(start + 4, "LinkInfo header size " + Hex(headerSize) + " is invalid");
    pos = end;
    if (!(d.U32(start + 8) & kVolumeIdAndLocalBasePath))
        return true;
    const size_t volumeOffset = d.U32(start + 12);
    const size_t basePathOffset = d.U32(start + 16);
    const size_t suffixOffset = d.U32(start + 24);
    if (!DecodeVolumeId(d, start + volumeOffset, end, link))
        return false;
    std::string base, suffix;
    const bool unicodeBase = headerSize >= kLinkInfoHeaderSizeUnicode && basePathOffset == 0;
    if (unicodeBase) {
        if (!d.WString(start + d.U32(start + 28), end, "LocalBasePathUnicode", base))
            return false;
    } else if (!d.CString(start + basePathOffset, end, "LocalBasePath", base)) {
        return false;
    }
    if (suffixOffset != 0 && !d.CString(start + suffixOffset, end, "CommonPathSuffix", suffix))
        return false;
    link.target = base + suffix;
    return true;
}

bool DecodeStrings(Decoder& d, size_t& pos, std::uint32_t flags, ShellLink& link) {
    const size_t unit = flags & kIsUnicode ? 2 : 1;
    for (const auto& field : kStringFields) {
        if (!(flags & field.flag))
            continue;
        if (!d.Need(pos, 2, field.name))
            return false;
        const size_t count = d.U16(pos);
        if (!d.Need(pos + 2, count * unit, field.name))
            return false;
        std::string_view text = d.Bytes(pos + 2, count * unit);
        link.*field.member = unit == 2 ? Utf16ToAnsi(text) : std::string(text);
        pos += 2 + count * unit;
    }
    return true;
}

// ExtraData: blocks of (size, signature, data) up to a terminal block of size < 4.
bool SkipExtraData(Decoder& d, size_t pos) {
    for (;;) {
        if (!d.Fits(pos, 4, d.size()))
            return d.Fail(pos, "the file ends before the terminal block");
        const size_t size = d.U32(pos);
        if (size < 4)
            return true;
        if (!d.Need(pos, size, "extra data block"))
            return false;
        pos += size;
    }
}

} // namespace

bool EncodeShellLink(const ShellLink& link, std::string& out) {
    if (link.target.empty() || link.target.find('\0') != std::string::npos ||
        link.volumeLabel.find('\0') != std::string::npos)
        return false;
    std::uint32_t flags = kHasLinkInfo;
    for (const auto& field : kStringFields) {
        const std::string& text = link.*field.member;
        if (text.size() > 0xFFFF)
            return false;
        if (!text.empty())
            flags |= field.flag;
    }
    std::string bytes;
    EncodeHeader(link, flags, bytes);
    EncodeLinkInfo(link, bytes);
    for (const auto& field : kStringFields) {
        const std::string& text = link.*field.member;
        if (text.empty())
            continue;
        Put16(bytes, static_cast<std::uint16_t>(text.size()));
        bytes += text;
    }
    Put32(bytes, 0); // TerminalBlock
    out = std::move(bytes);
    return true;
}

bool DecodeShellLink(std::string_view bytes, ShellLink& out, std::string& error) {
    Decoder d(bytes, error);
    ShellLink link;
    std::uint32_t flags = 0;
    if (!DecodeHeader(d, link, flags))
        return false;
    size_t pos = kHeaderSize;
    if ((flags & kHasLinkTargetIdList) && !SkipIdList(d, pos))
        return false;
    if ((flags & kHasLinkInfo) && !DecodeLinkInfo(d, pos, link))
        return false;
    if (!DecodeStrings(d, pos, flags, link) || !SkipExtraData(d, pos))
        return false;
    out = std::move(link);
    return true;
}

} // namespace portable
