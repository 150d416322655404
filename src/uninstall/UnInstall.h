// The removal confirmation, the first window of the removal run.
//
// PLACEHOLDER: the question and its buttons are built by the removal's own work item.
// Until then it is an empty window with its caption that can be closed.
#pragma once

#include "forms/global_form.h"

namespace uninstall {

class UnInstallForm : public forms::Form {
public:
    UnInstallForm();
};

inline forms::Global<UnInstallForm> UnInstall;

} // namespace uninstall
