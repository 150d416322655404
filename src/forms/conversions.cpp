#include "forms/conversions.h"

#include "forms/run_time_error.h"

#include <cmath>
#include <limits>

namespace forms {
namespace {

template <typename T> T Round(double value) {
    double rounded = std::nearbyint(value); // to nearest, ties to even
    if (!(rounded >= static_cast<double>(std::numeric_limits<T>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<T>::max())))
        Raise(kOverflow); // NaN lands here too
    return static_cast<T>(rounded);
}

} // namespace

std::int32_t CLng(double value) {
    return Round<std::int32_t>(value);
}

std::int16_t CInt(double value) {
    return Round<std::int16_t>(value);
}

} // namespace forms
