#include "forms/on_error.h"

#include <vector>

namespace forms {
namespace {

std::vector<std::int32_t>& Handling() {
    static std::vector<std::int32_t> numbers;
    return numbers;
}

} // namespace

HandlingError::HandlingError(const RunTimeError& error) {
    Handling().push_back(error.number());
}

HandlingError::~HandlingError() {
    Handling().pop_back();
}

std::int32_t Err() {
    return Handling().empty() ? 0 : Handling().back();
}

} // namespace forms
