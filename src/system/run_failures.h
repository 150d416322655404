// RunFailures: the failures a run tells besides its windows. The copy, the registry writes
// and the script imports show no message of their own where they fail; so that no failure
// stays hidden from the user's script or the person reading the machine's journal, the
// services note each one here: one English line on stderr and in the platform's debug
// output (the portable machine's journal), and the run's exit status then says "completed
// with errors". The count lives as long as the process, as SysDir does.
#pragma once

#include <string_view>

namespace RunFailures {

// Tells of one failure: what went wrong and where ("cannot write [HKEY_...] ...").
void Note(std::string_view what);
// How many failures were noted since the process started (or since Reset).
int Count();
// For tests that run the program more than once in one process.
void Reset();

} // namespace RunFailures
