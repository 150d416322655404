// The difference between two machine states: what was added, changed and removed.
//
// Paths, key names and value names are matched without regard to case, as Windows finds
// them; an entry whose own name changed only in case is reported as changed (it was
// deleted and made again under the new spelling). A folder that became a file (or the
// other way round) is one removal and one addition. INI lines are matched exactly within
// their file and section (sections without regard to case), counting duplicates, so a line
// is only ever added or removed.
#pragma once

#include "platform/portable/store/machine_state.h"

#include <cstddef>
#include <vector>

namespace portable {

// One difference: before is null for an addition, after for a removal. The records belong
// to the states compared, which must outlive the difference.
template <class Record> struct Difference {
    const Record* before = nullptr;
    const Record* after = nullptr;
    bool Added() const { return !before; }
    bool Removed() const { return !after; }
    bool Changed() const { return before && after; }
};

// Each list is in path order (see PathLess), a folder or key right before what it holds;
// values by key, then name; INI lines by file, section, then position in the file.
struct StateDiff {
    std::vector<Difference<FileRecord>> files;
    std::vector<Difference<KeyRecord>> keys;
    std::vector<Difference<ValueRecord>> values;
    std::vector<Difference<IniLine>> iniLines;

    struct Counts {
        size_t added = 0;
        size_t changed = 0;
        size_t removed = 0;
    };
    Counts Count() const;
    bool Empty() const;
};

StateDiff CompareStates(const MachineState& before, const MachineState& after);

} // namespace portable
