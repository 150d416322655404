// The limits of the Windows 95 registry that the machine's registry editor applies, so that
// a script's cost stays in proportion to its size. The figures are the ones Microsoft
// documents for the registry ("Registry Element Size Limits"): a key name of at most 255
// characters (kMaxKeyNameLength, registry_store.h), a value name of at most 255 characters
// on Windows 95, and a tree at most 512 levels deep.
#pragma once

#include "platform/portable/registry/registry_store.h"

#include <cstddef>

namespace portable {

inline constexpr size_t kMaxValueNameLength = 255;
// Names below a root key (HKEY_CLASSES_ROOT counts as SOFTWARE\Classes, two of them).
inline constexpr size_t kMaxKeyDepth = 512;

} // namespace portable
