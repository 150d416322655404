// The windows module: the qt backend built as a module of its own (zepsetup-qt.so) that the
// program loads when it opens windows, so that a headless run does not load Qt.
#pragma once

#include "forms/backend.h"
#include "forms/qt/qt_options.h"

#include <memory>

namespace forms::qt {

// Loads the module (from $ZEPSETUP_QT_MODULE, beside the running program, where the
// build put it, or where the package installs it) and makes its backend. Throws BackendFailure
// naming the places it looked in when there is no module, or the module's error when it does not
// load.
std::unique_ptr<Backend> LoadQtBackend(QtOptions options);

} // namespace forms::qt
