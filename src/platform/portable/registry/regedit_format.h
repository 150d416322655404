// The REGEDIT4 text forms shared by the registry editor, the exporter, `reg query` and the
// journal: root key names, quoted names, and value lines. All text is Windows-1252.
#pragma once

#include "platform/portable/registry/registry_store.h"
#include "platform/win_types.h"

#include <optional>
#include <string>
#include <string_view>

namespace portable {

// A REG_DWORD as stored: four bytes, least significant first.
std::string DwordData(DWORD number);
// The number of a REG_DWORD's first four bytes (missing ones count as zero).
DWORD DwordOf(std::string_view data);

struct RootName {
    std::string_view name; // HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT
    bool classes = false;  // HKEY_CLASSES_ROOT: the view of HKLM\SOFTWARE\Classes
    KeyId key = 0;         // the root key otherwise
};

// The root a REGEDIT4 key path starts with (full names, any case), if the machine has it.
std::optional<RootName> FindRoot(std::string_view name);

// "name" with \ and " escaped, or @ for the default value.
std::string QuotedName(std::string_view name);

// The data part of a value line: "text" for a REG_SZ that ends in its only NUL (and holds
// no line break), dword:xxxxxxxx for a 4-byte REG_DWORD, hex: for REG_BINARY, hex(N): for
// anything else. Re-importing it stores exactly type and data. With wrap, long hex lists
// go on in continuation lines ending in ",\" and starting with two blanks (CR LF breaks).
std::string ValueData(DWORD type, std::string_view data, bool wrap);

// The whole line: QuotedName(name) + "=" + ValueData(...).
std::string ValueLine(std::string_view name, DWORD type, std::string_view data, bool wrap);

// REG_SZ, REG_DWORD, ...; an unknown type as REG_ and its number.
std::string RegTypeName(DWORD type);

// One unwrapped line for the journal, shortened when the data is long.
std::string JournalValue(std::string_view name, DWORD type, std::string_view data);

} // namespace portable
