// The machine's registry editor: imports a REGEDIT4 script the way the Windows editor
// reads it, as one transaction. Understood: the "REGEDIT4" first line; [KEY] (created with
// every missing key above it) and [-KEY] (deleted with its subtree); @= and "name"= with
// "text" (\" and \\ escapes), hex: and hex(N): byte lists continued over lines ending in
// '\', dword:, and - (deletes the value); comments (;), blank lines, leading blanks, LF or
// CR LF, a missing final line break. Bytes are Windows-1252.
//
// A line the editor cannot take is skipped and reported as "FILE:LINE: reason"; the values
// of a key line that was skipped are skipped with it. Beyond the limits of registry_limits.h
// (name lengths, a key's depth) a line is skipped too. A file whose first line is not
// REGEDIT4 is refused whole. Either every accepted line is applied or, when the store
// fails, none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

class Machine;

struct ImportReport {
    bool accepted = false; // a REGEDIT4 script whose lines were applied
    std::int64_t keysCreated = 0;
    std::int64_t keysDeleted = 0;
    std::int64_t valuesSet = 0;
    std::int64_t valuesDeleted = 0; // by "name"=- and with the keys [-KEY] deleted
    std::int64_t linesSkipped = 0;
    // "FILE:LINE: reason: line" (UTF-8, the line quoted), the first few of each reason, then
    // "FILE: N more lines skipped: reason" for each reason that had more.
    std::vector<std::string> problems;
};

// Imports script (the file's bytes) into the machine's registry; label names the file in
// problems and in the journal. Every problem and a summary go to the journal.
ImportReport ImportRegistryScript(Machine& machine, std::string_view script,
                                  std::string_view label);

} // namespace portable
