// Export of the machine's registry as a REGEDIT4 script (Windows-1252, CR LF) that the
// registry editor re-imports to the same keys, values, types and bytes.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace portable {

class Machine;

class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Receives the script piece by piece (each at most a little over 64 KiB, a key's header
// and values at least), in order; it may throw to stop the export.
using ExportSink = std::function<void(std::string_view)>;

// The key named by keyPath (root name first, e.g. "HKEY_CLASSES_ROOT\zipFile", Windows-1252)
// with its whole subtree; an empty keyPath exports HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER (HKEY_CLASSES_ROOT is part of the former). Every key gets its header,
// empty keys included, so that they come back too. Throws ExportError for a missing key,
// for a name no REGEDIT4 line can hold (one with a line break) and for a key deeper than
// the registry allows (registry_limits.h; only a damaged store holds one); what went to the
// sink before stays there.
void ExportRegistry(Machine& machine, std::string_view keyPath, const ExportSink& sink);
// The same, whole in memory.
std::string ExportRegistry(Machine& machine, std::string_view keyPath);

} // namespace portable
