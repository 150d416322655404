#include "uninstall/UnInstall.h"

namespace uninstall {

UnInstallForm::UnInstallForm() : Form("UnInstall") {
    SetCaption("Dovek's Zepanu's löschen");
    SetBorderStyle(3); // fixed dialog
    SetClientSize(4710, 1380);
}

} // namespace uninstall
