#include "app/Lizenz.h"

namespace app {

LizenzForm::LizenzForm() : Form("Lizenz") {
    SetCaption("Dovek’s Lizenzvertrag");
    SetBorderStyle(3); // fixed dialog
    SetClientSize(6735, 5535);
}

} // namespace app
