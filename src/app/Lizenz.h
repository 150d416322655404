// The agreement page, the first window of the installation run.
//
// PLACEHOLDER: the page with its terms and buttons is built by the agreement page's own
// work item. Until then it is an empty window with its caption that can be closed.
#pragma once

#include "forms/global_form.h"

namespace app {

class LizenzForm : public forms::Form {
public:
    LizenzForm();
};

inline forms::Global<LizenzForm> Lizenz;

} // namespace app
