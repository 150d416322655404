// Named snapshots of a machine's state, kept in its store (machine.db) and so never on a
// drive a later snapshot would read:
//
//   snapshots(name, taken, files, keys, vals, ini_lines, sha256, state)
//
// state is the encoded MachineState (state_codec), sha256 its hash, checked on every load;
// taken is UTC (ISO 8601); the counts are for listing. Saving a name again replaces it in
// one transaction.
#pragma once

#include "platform/portable/store/machine_state.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace portable {

class Machine;

// A snapshot that is missing or cannot be read back.
class SnapshotError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SnapshotInfo {
    std::string name;
    std::string taken;
    std::int64_t files = 0; // files and folders
    std::int64_t keys = 0;
    std::int64_t values = 0;
    std::int64_t iniLines = 0;
};

// 1 to 64 characters of A-Z a-z 0-9 . _ + -, not starting with '-' or '.'.
bool IsValidSnapshotName(std::string_view name);

void SaveSnapshot(Machine& machine, std::string_view name, const MachineState& state);
// Throws SnapshotError when there is no such snapshot or it is damaged.
MachineState LoadSnapshot(Machine& machine, std::string_view name, SnapshotInfo& info);
// In name order.
std::vector<SnapshotInfo> ListSnapshots(Machine& machine);
// False when there was no such snapshot.
bool DeleteSnapshot(Machine& machine, std::string_view name);

} // namespace portable
