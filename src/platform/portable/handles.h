// The process's table of kernel handles (files, processes, ...). Handles are numbers
// looked up in the table, so a stale, foreign or closed handle fails cleanly with
// ERROR_INVALID_HANDLE instead of touching freed memory.
#pragma once

#include "platform/win_types.h"

#include <memory>

namespace portable {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

HANDLE AddHandle(std::unique_ptr<KernelObject> object);
KernelObject* LookUpHandle(HANDLE handle);
// False when the handle is not open.
bool RemoveHandle(HANDLE handle);

template <typename T> T* HandleAs(HANDLE handle) {
    return dynamic_cast<T*>(LookUpHandle(handle));
}

} // namespace portable
