// What a machine holds at one moment, as snapshots record and compare it: the files and
// folders of its drives, the whole registry, and the lines of the INI files in the Windows
// folder. All text is Windows-1252, as the machine keeps it.
#pragma once

#include "platform/portable/store/sha256.h"
#include "platform/win_types.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace portable {

class Machine;

struct FileRecord {
    std::string path; // Windows long path, e.g. "C:\WINDOWS\WIN.INI"
    bool folder = false;
    std::uint64_t size = 0;     // 0 for folders
    DWORD attributes = 0;       // read-only, hidden and system only
    Sha256::Digest sha256 = {}; // of the contents; zeros for folders
};

struct KeyRecord {
    std::string path; // "HKEY_LOCAL_MACHINE\SOFTWARE\Classes"; the roots are not recorded
};

struct ValueRecord {
    std::string key;  // the key's path, as in KeyRecord (a root's values: its name)
    std::string name; // empty for the default value
    DWORD type = REG_NONE;
    std::string data;
};

struct IniLine {
    std::string file;        // Windows long path
    std::string section;     // as its header spells it; empty before the first header
    std::string line;        // as in the file, without its line break
    std::uint32_t index = 0; // position among the file's recorded lines
};

struct MachineState {
    std::vector<FileRecord> files;
    std::vector<KeyRecord> keys;
    std::vector<ValueRecord> values;
    std::vector<IniLine> iniLines;
};

// Thrown when part of the machine cannot be read (an unreadable file, a store failure).
class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the machine without changing anything (no aliases are assigned, nothing is
// journaled). Files: every drive whose host folder (links resolved) lies inside the machine
// folder, walked without following links, with the names Windows sees and entries whose
// Windows path would exceed MAX_PATH left out; the store's own files are never part of it.
// INI lines: the non-blank lines of every *.INI directly in the Windows folder, up to 1 MiB
// per file (a larger one is compared by its hash only). Records come in no set order.
MachineState CaptureState(Machine& machine);

} // namespace portable
