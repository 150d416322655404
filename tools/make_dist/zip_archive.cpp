#include "zip_archive.h"

#include "bytes.h"

#include <array>
#include <stdexcept>

namespace make_dist {
namespace {

constexpr unsigned kDosTime = 12 << 11;                            // 12:00:00
constexpr unsigned kDosDate = ((1997 - 1980) << 9) | (9 << 5) | 1; // 1997-09-01
constexpr unsigned kVersionNeeded = 10;                            // stored entries: 1.0
constexpr unsigned kMadeBy = 20;                                   // MS-DOS, 2.0
constexpr std::uint32_t kArchiveAttribute = 0x20;

std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// The fields local header and central directory share, from "version needed" on.
void PutCommonFields(std::string& out, const ZipEntry& entry, std::uint32_t crc) {
    PutU16(out, kVersionNeeded);
    PutU16(out, 0); // no flags
    PutU16(out, 0); // stored
    PutU16(out, kDosTime);
    PutU16(out, kDosDate);
    PutU32(out, crc);
    PutU32(out, static_cast<std::uint32_t>(entry.data.size()));
    PutU32(out, static_cast<std::uint32_t>(entry.data.size()));
    PutU16(out, static_cast<unsigned>(entry.name.size()));
    PutU16(out, 0); // no extra field
}

} // namespace

std::uint32_t Crc32(std::string_view data) {
    static const std::array<std::uint32_t, 256> table = MakeCrcTable();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data)
        c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string StoredZip(const std::vector<ZipEntry>& entries) {
    if (entries.size() > 0xFFFF)
        throw std::length_error("a ZIP archive without ZIP64 holds at most 65535 entries");
    std::string out, directory;
    for (const ZipEntry& entry : entries) {
        if (entry.data.size() > 0xFFFFFFFEu || entry.name.size() > 0xFFFF)
            throw std::length_error("ZIP entry too large: " + entry.name);
        const std::uint32_t crc = Crc32(entry.data);
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        out += "PK\x03\x04";
        PutCommonFields(out, entry, crc);
        out += entry.name;
        out += entry.data;

        directory += "PK\x01\x02";
        PutU16(directory, kMadeBy);
        PutCommonFields(directory, entry, crc);
        PutU16(directory, 0); // no comment
        PutU16(directory, 0); // disk 0
        PutU16(directory, 0); // binary
        PutU32(directory, kArchiveAttribute);
        PutU32(directory, offset);
        directory += entry.name;
    }
    const std::uint32_t directoryOffset = static_cast<std::uint32_t>(out.size());
    out += directory;
    out += "PK\x05\x06";
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, static_cast<unsigned>(entries.size()));
    PutU16(out, static_cast<unsigned>(entries.size()));
    PutU32(out, static_cast<std::uint32_t>(directory.size()));
    PutU32(out, directoryOffset);
    PutU16(out, 0); // no comment
    return out;
}

} // namespace make_dist
