// The machine's clock. Sleep and GetTickCount run on the real clock by default; a machine
// (setting "clock" = "virtual", `zepmachine clock virtual`) or a test can choose a virtual
// clock that only adds up the time asked for, so that paced runs finish at once.
#pragma once

#include <cstdint>
#include <optional>

namespace portable {

class Machine;

enum class ClockKind { Real, Virtual };

// The test's choice when one was made, else the current machine's setting.
ClockKind CurrentClock();
// Overrides the machine's setting for this process (nullopt: follow the machine again).
void UseClock(std::optional<ClockKind> kind);
// Stores the machine's own choice.
void SetMachineClock(Machine& machine, ClockKind kind);
ClockKind MachineClock(Machine& machine);

// Milliseconds the virtual clock has advanced in this process.
std::uint64_t VirtualMilliseconds();

} // namespace portable
