// The entry of the windows module (zepsetup-qt.so): the program loads it only when it opens
// windows on a display, so that a headless run neither loads nor needs the Qt libraries.
// The module's code binds to the forms runtime of the program that loads it.
#include "forms/qt/qt_backend.h"

extern "C" forms::Backend* zepsetup_qt_backend(forms::qt::QtOptions* options) {
    return new forms::qt::QtBackend(std::move(*options));
}
