// Start-up: the first code of the program.
#pragma once

namespace app {

// Sets SysDir, then shows the removal confirmation when the argument text is exactly
// "UnInst", else the agreement page, non-modally, and returns.
void Main();

} // namespace app
