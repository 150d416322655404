#include "app/program_state.h"

namespace app {

std::string ProgDir;
bool IconsWritten = false;
bool IconDepthWas16 = false;
std::int16_t AnimStep = 0;
Outcome RunOutcome = Outcome::NothingDone;

} // namespace app
