// The state of a fresh machine: a German Windows 95 installed on C:.
#pragma once

namespace portable {

class Machine;

// Writes the folders, files and settings of a fresh machine. Later services extend it
// (the registry imports its baseline here too).
void WriteBaseline(Machine& machine);

} // namespace portable
