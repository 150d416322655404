// The classic numeric conversions: rounding half to even, run-time error 6 (overflow)
// outside the target's range.
#pragma once

#include <cstdint>

namespace forms {

std::int32_t CLng(double value);
std::int16_t CInt(double value);

} // namespace forms
