// Restarts of the portable machine. ExitWindowsEx only marks a restart as pending;
// `zepmachine boot` performs one: it processes WININIT.INI as Windows 95 does at start-up
// and clears the mark.
#pragma once

#include "platform/win_types.h"

#include <cstddef>
#include <string>

namespace portable {

class FileSystem;
class Machine;

void MarkRestartPending(Machine& machine, UINT flags);
// "reboot", "shutdown", "logoff", or empty when none is pending.
std::string PendingRestart(Machine& machine);

enum class BootOutcome { Deleted, Renamed, Skipped, Failed };

struct BootCounts {
    size_t deleted = 0, renamed = 0, skipped = 0, failed = 0;
    size_t Entries() const { return deleted + renamed + skipped + failed; }
};

// Told of each step as the boot goes, so that a caller can show the entries of a WININIT.INI
// of any size without the boot keeping them.
class BootListener {
public:
    virtual ~BootListener() = default;
    // An interrupted boot goes on with line `line` (0 for the first) of WININIT.BAK.
    virtual void Resuming(size_t /*line*/) {}
    // WININIT.INI became WININIT.BAK; its entries follow.
    virtual void SetAside() {}
    // One entry of [rename]: what was done (UTF-8).
    virtual void Entry(BootOutcome /*outcome*/, const std::string& /*action*/) {}
};

struct BootReport {
    bool resumed = false;    // an interrupted boot went on, from line resumedAt
    size_t resumedAt = 0;    // (0 for the first) of WININIT.BAK
    bool hadWininit = false; // a WININIT.INI was found (after the interrupted boot)
    BootCounts counts;       // the entries of both
    std::string failure;     // why nothing (more) was run; empty when the boot ran
};

// Processes WININIT.INI in the Windows folder. First it becomes WININIT.BAK (replacing an
// older one, read-only too), so that its lines run at most once whatever fails later; when
// that cannot be done nothing runs, failure says why and the restart stays pending. Then
// the [rename] section of WININIT.BAK runs line by line, each line that changes something
// marking its progress in the store in the same transaction, so that a boot killed in the
// middle goes on at the next boot with the next line and no line runs twice (before a
// WININIT.INI written since): "NUL=path" deletes the file, "dest=src" renames src to dest
// (replacing a file dest); an entry whose file is missing is skipped, one that fails is counted and
// the rest still run; a line too long for a path fails. Other sections and everything else
// stay untouched. WININIT.BAK is read as a stream: memory stays bounded whatever its size.
BootReport Boot(FileSystem& files, BootListener* listener = nullptr);

} // namespace portable
