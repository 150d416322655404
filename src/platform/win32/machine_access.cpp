#include "platform/machine_access.h"

namespace win {

// A Windows computer refuses a change where it happens, with the call's own error.
std::string WhyNoChangeCanBeMade() {
    return {};
}

} // namespace win
