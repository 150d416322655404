// An installation that has begun and not finished. The target folder page records the
// program folder before it creates it, and the run forgets it once the installation is
// complete (the options page) or cancelled (the copy window); so after a run cut off at
// any point (kill -9, a power cut) the record names the folder, and the target folder page
// accepts that folder again to finish the installation (the copy replaces what is there),
// and the removal knows what to remove. The record is a value beside the acceptance of the
// terms (HKEY_CURRENT_USER "Software\Quorvel\Zepanu\3.0"), which the agreement page has
// written before and the removal deletes with the suite's keys.
#pragma once

#include "program/suite_contract.h"

#include <optional>
#include <string>

namespace app {

inline constexpr const char* kUnfinishedKey = kVersionKey;
inline constexpr const char* kUnfinishedValue = "Installation nicht abgeschlossen";

// Records folder (a full path, long or short) as the unfinished installation's.
void RecordUnfinishedInstallation(const std::string& folder);
// The installation is complete or cancelled: nothing is unfinished any more.
void ForgetUnfinishedInstallation();
// The recorded folder in its 8.3 form with one trailing backslash, when it exists.
std::optional<std::string> UnfinishedInstallationFolder();
// Whether folder is the recorded unfinished installation's folder (both must exist).
bool IsUnfinishedInstallation(const std::string& folder);

} // namespace app
