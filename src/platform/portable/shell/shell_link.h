// Shell link files (.lnk, the MS-SHLLINK binary format) as Windows 95 wrote them: a
// ShellLinkHeader, a LinkInfo with the target's VolumeID and LocalBasePath, StringData in
// the ANSI code page (no IsUnicode flag) and the terminal block. No LinkTargetIDList is
// written: the shell and other readers find the target through the LinkInfo.
//
// The reader takes what the writer makes and links of later Windows versions as well
// (an ID list, Unicode strings and extra data blocks are skipped or converted); anything
// damaged or cut short is refused with the offset and what is wrong there.
#pragma once

#include "platform/win_types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace portable {

inline constexpr std::uint32_t kShowNormal = 1; // SW_SHOWNORMAL

// What a link holds. Strings are Windows-1252.
struct ShellLink {
    std::string target; // full path of the target (LocalBasePath + CommonPathSuffix)
    std::string name;   // description; written only when not empty
    std::string relativePath;
    std::string workingDir;
    std::string arguments;
    std::string iconLocation;
    std::int32_t iconIndex = 0;
    std::uint32_t showCommand = kShowNormal;
    std::uint16_t hotKey = 0;

    // The target as it was when the link was made (zero when it did not exist).
    DWORD fileAttributes = 0;
    FILETIME creationTime{};
    FILETIME accessTime{};
    FILETIME writeTime{};
    std::uint32_t fileSize = 0;

    // The volume the target lies on.
    std::uint32_t driveType = DRIVE_FIXED;
    std::uint32_t driveSerial = 0;
    std::string volumeLabel;
};

// The bytes of a link file. Fails (false, out untouched) when the target is empty, holds
// a NUL, or a string does not fit its 16-bit length.
bool EncodeShellLink(const ShellLink& link, std::string& out);

// Parses a link file. On failure returns false with error saying where and what, e.g.
// "offset 0x4C: LinkInfo of 4096 bytes runs past the end of the file (160 bytes)".
// Strings stored as UTF-16 become Windows-1252 ('?' for what it lacks).
bool DecodeShellLink(std::string_view bytes, ShellLink& out, std::string& error);

} // namespace portable
