// The stored form of a machine state: a versioned binary encoding whose reader checks
// every count and length against what is there, so a damaged or hostile snapshot is
// refused with a message rather than read past its end.
#pragma once

#include "platform/portable/store/machine_state.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace portable {

class DamagedState : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string EncodeState(const MachineState& state);
// Throws DamagedState naming the byte offset where the encoding stops making sense.
MachineState DecodeState(std::string_view bytes);

} // namespace portable
