// Run-time errors of the program's runtime, with the classic error numbers. Procedures
// raise them; the error policies of the application decide whether they are reported,
// passed over or handed to the caller.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace forms {

enum ErrorNumber : std::int32_t {
    kInvalidProcedureCall = 5,
    kOverflow = 6,
    kOutOfMemory = 7,
    kSubscriptOutOfRange = 9,
    kTypeMismatch = 13,
    kBadFileNameOrNumber = 52,
    kFileNotFound = 53,
    kBadFileMode = 54,
    kFileAlreadyOpen = 55,
    kDeviceIoError = 57,
    kFileAlreadyExists = 58,
    kDiskFull = 61,
    kInputPastEnd = 62,
    kBadFileName = 64,
    kDeviceUnavailable = 68,
    kPermissionDenied = 70,
    kDiskNotReady = 71,
    kPathFileAccessError = 75,
    kPathNotFound = 76,
    kInvalidPropertyValue = 380,
    kFormAlreadyDisplayed = 400,
};

class RunTimeError : public std::runtime_error {
public:
    RunTimeError(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    std::int32_t number() const { return number_; }

private:
    std::int32_t number_;
};

// Raises error number with the runtime's standard description of it.
[[noreturn]] void Raise(std::int32_t number);
// The standard description of an error number ("Application-defined or object-defined
// error" for numbers without one).
std::string ErrorDescription(std::int32_t number);

} // namespace forms
