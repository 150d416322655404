#include "app/start_up.h"

#include "app/Lizenz.h"
#include "forms/app_object.h"
#include "system/Setup_API.h"
#include "uninstall/UnInstall.h"

namespace app {

void Main() {
    Setup_API::GetSystemDir();
    // Exactly this text, in this case, and nothing around it.
    if (forms::App::Command() == "UnInst") {
        uninstall::UnInstall->Show();
        return;
    }
    Lizenz->Show();
}

} // namespace app
