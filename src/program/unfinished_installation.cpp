#include "program/unfinished_installation.h"

#include "platform/codepage.h"
#include "platform/text_lines.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

namespace app {

void RecordUnfinishedInstallation(const std::string& folder) {
    WinRegistry::WriteValue(WinRegistry::HKCU, kUnfinishedKey, kUnfinishedValue, folder);
}

void ForgetUnfinishedInstallation() {
    WinRegistry::DeleteValue(WinRegistry::HKCU, kUnfinishedKey, kUnfinishedValue);
}

std::optional<std::string> UnfinishedInstallationFolder() {
    std::string recorded = WinRegistry::ReadUserValue(kUnfinishedKey, kUnfinishedValue).ToString();
    if (recorded.empty())
        return std::nullopt;
    std::string shortForm = Setup_API::GetShortPath(recorded);
    if (shortForm.empty())
        return std::nullopt;
    return Setup_API::AddBackslash(shortForm);
}

bool IsUnfinishedInstallation(const std::string& folder) {
    std::optional<std::string> recorded = UnfinishedInstallationFolder();
    std::string shortForm = Setup_API::GetShortPath(folder);
    return recorded && !shortForm.empty() &&
           win::AnsiEqualsNoCase(win::ToAnsi(*recorded),
                                 win::ToAnsi(Setup_API::AddBackslash(shortForm)));
}

} // namespace app
