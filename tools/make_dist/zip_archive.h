// ZIP archives with stored (uncompressed) entries: local headers, the central directory and
// its end record, with the CRC-32 of every entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace make_dist {

struct ZipEntry {
    std::string name; // 8.3 name, no folders
    std::string data;
};

// Every entry dated 1 September 1997, 12:00 (the archive must be the same on every build).
std::string StoredZip(const std::vector<ZipEntry>& entries);

// CRC-32 as ZIP uses it (polynomial 0xEDB88320, reflected, inverted in and out).
std::uint32_t Crc32(std::string_view data);

} // namespace make_dist
