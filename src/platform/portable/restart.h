// Restarts of the portable machine. ExitWindowsEx only marks a restart as pending;
// `zepmachine boot` performs one: it processes WININIT.INI as Windows 95 does at start-up
// and clears the mark.
#pragma once

#include "platform/win_types.h"

#include <cstddef>
#include <string>
#include <vector>

namespace portable {

class FileSystem;
class Machine;

void MarkRestartPending(Machine& machine, UINT flags);
// "reboot", "shutdown", "logoff", or empty when none is pending.
std::string PendingRestart(Machine& machine);

struct BootReport {
    bool resumed = false;             // an interrupted boot went on, from line resumedAt
    size_t resumedAt = 0;             // (0 for the first) of WININIT.BAK
    bool hadWininit = false;          // a WININIT.INI was found (after the interrupted boot)
    std::vector<std::string> actions; // one line per entry of [rename], UTF-8
    size_t resumedActions = 0;        // the first of them are the interrupted boot's
    int failedLines = 0;              // entries that could not be carried out
    std::string failure;              // why nothing was run; empty when the boot ran
};

// Processes WININIT.INI in the Windows folder. First it becomes WININIT.BAK (replacing an
// older one, read-only too), so that its lines run at most once whatever fails later; when
// that cannot be done nothing runs, failure says why and the restart stays pending. Then
// the [rename] section of WININIT.BAK runs line by line, each line that changes something
// marking its progress in the store in the same transaction, so that a boot killed in the
// middle goes on at the next boot with the next line and no line runs twice (before a
// WININIT.INI written since): "NUL=path" deletes the file, "dest=src" renames src to dest
// (replacing a file dest); an entry whose file is missing is skipped, one that fails is counted and
// the rest still run. Other sections and everything else stay untouched.
BootReport Boot(FileSystem& files);

} // namespace portable
