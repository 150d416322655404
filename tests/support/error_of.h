// The run-time error number a statement raises, 0 when it raises none.
#pragma once

#include "forms/run_time_error.h"

#include <functional>

namespace testing_support {

inline int ErrorOf(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const forms::RunTimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace testing_support
