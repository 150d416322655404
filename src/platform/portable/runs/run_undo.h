// Taking a run back: every change the run made, newest first, is answered by its opposite
// (a made file deleted, a deleted one put back from what was kept, a registry row as it
// was), so that the machine is as it was before the run. The undo is a run of its own and
// is recorded like any other, so it can be taken back too.
//
// Refused, with nothing changed: a run that is unknown, alive, already taken back or
// forgotten; while another run is alive on the machine (an undo needs the machine to
// itself); and when a later run that was not taken back changed one of the same items
// (the same file or folder, one below the other, the same registry key or value, the same
// recycle bin entry), unless forced: then the run's items are put back anyway and the
// report names what of the later runs it overwrote.
//
// The registry and the recycle bin's records go back in one store transaction; each file
// change goes back in its own (the host's files have no transactions). A file change that
// cannot go back (its drive refused, a file of another process in the way) is named in the
// report and the rest go on.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace portable {

class Machine;

class UndoRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct UndoReport {
    std::int64_t run = 0;     // the run taken back
    std::int64_t undoRun = 0; // the run the undo was
    std::int64_t changes = 0; // changes taken back
    // Runs after this one that changed the same items: with force, what was overwritten,
    // one line per item ("run 7 (PROGRAM): C:\WINDOWS\WIN.INI").
    std::vector<std::string> overwritten;
    // Changes that could not go back, one line each.
    std::vector<std::string> failed;
};

// Throws UndoRefused saying why (naming the later runs when those are the reason).
UndoReport UndoRun(Machine& machine, std::int64_t run, bool force);

} // namespace portable
