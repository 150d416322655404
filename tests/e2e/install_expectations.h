// What a full installation leaves in the registry, written from the design of each step:
// the acceptance, the uninstall entry, the thirteen file types and the folder verb, the
// context-menu verbs, the taskbar symbols, the system icons and the icon refresh. P is the
// program folder's short form, W the Windows folder (long), SW its short form.
#pragma once

#include "support/setup_run.h"

#include <string>
#include <vector>

namespace install_expectations {

struct Expected {
    std::string key;
    std::string name; // "" for the default value
    testing_support::RegData data;
};

// Every value a full installation with every option writes, in its final state.
std::vector<Expected> FullInstall(const std::string& P, const std::string& W,
                                  const std::string& SW);

// The values of file-type row index (0 to 12) and the flag it writes.
std::vector<Expected> FileType(int index, const std::string& P, const std::string& W,
                               const std::string& SW);
// The folder verb (box 13) and its flag.
std::vector<Expected> FolderVerb(const std::string& P);
// The writes of the three options.
std::vector<Expected> ContextMenus(const std::string& P);
std::vector<Expected> TaskbarSymbols(const std::string& P);
std::vector<Expected> SystemIcons(const std::string& P);
// What every installation writes: the acceptance and the uninstall entry.
std::vector<Expected> Always(const std::string& P);

} // namespace install_expectations
