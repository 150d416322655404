#include "forms/run_time_error.h"

namespace forms {

std::string ErrorDescription(std::int32_t number) {
    switch (number) {
    case kInvalidProcedureCall:
        return "Invalid procedure call or argument";
    case kOverflow:
        return "Overflow";
    case kOutOfMemory:
        return "Out of memory";
    case kSubscriptOutOfRange:
        return "Subscript out of range";
    case kTypeMismatch:
        return "Type mismatch";
    case kBadFileNameOrNumber:
        return "Bad file name or number";
    case kFileNotFound:
        return "File not found";
    case kBadFileMode:
        return "Bad file mode";
    case kFileAlreadyOpen:
        return "File already open";
    case kDeviceIoError:
        return "Device I/O error";
    case kFileAlreadyExists:
        return "File already exists";
    case kDiskFull:
        return "Disk full";
    case kInputPastEnd:
        return "Input past end of file";
    case kBadFileName:
        return "Bad file name";
    case kDeviceUnavailable:
        return "Device unavailable";
    case kPermissionDenied:
        return "Permission denied";
    case kDiskNotReady:
        return "Disk not ready";
    case kPathFileAccessError:
        return "Path/File access error";
    case kPathNotFound:
        return "Path not found";
    case kInvalidPropertyValue:
        return "Invalid property value";
    case kFormAlreadyDisplayed:
        return "Form already displayed; can't show modally";
    default:
        return "Application-defined or object-defined error";
    }
}

void Raise(std::int32_t number) {
    throw RunTimeError(number, ErrorDescription(number));
}

} // namespace forms
