// Every window of both runs as drawn by the qt interface, at its designed client size,
// saved under build/screenshots: the controls' places and captions checked through the
// widgets, and a few pixels (the black welcome screen, the red not-xor bar at 0, 50 and
// 100 percent with its percentage readable over it).
#include "app/DateinCopy.h"
#include "app/Lizenz.h"
#include "app/ProgEinstellungen.h"
#include "app/Setup.h"
#include "app/WillkommenSchirm.h"
#include "app/program_state.h"
#include "forms/runtime.h"
#include "qt_fixture.h"
#include "system/Setup_API.h"
#include "uninstall/KillPrBar.h"
#include "uninstall/UnInstall.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

using testing_support::QtUiTest;

using Screenshots = QtUiTest;

TEST_F(Screenshots, All) {
    app::Lizenz->Show();
    Shot(*app::Lizenz, "Lizenz");
    forms::Unload(*app::Lizenz);
    app::AnimStep = 0;
    app::WillkommenSchirm->Show();
    while (!app::WillkommenSchirm->WeiterLabel.Visible())
        forms::Runtime::Get().RunNextTimer();
    Shot(*app::WillkommenSchirm, "WillkommenSchirm");
    app::Setup->Show();
    Shot(*app::Setup, "Setup");
    forms::Unload(*app::Setup);
    app::ProgEinstellungen->Show();
    Shot(*app::ProgEinstellungen, "ProgEinstellungen");
    uninstall::UnInstall->Show();
    Shot(*uninstall::UnInstall, "UnInstall");
    struct Copy : app::DateinCopyForm {
        void Form_Load() override {}
    } copy;
    copy.Show();
    for (int p : {0, 50, 100}) {
        Setup_API::DrawProgress(copy.Picture1, static_cast<std::int16_t>(p));
        Shot(copy, "DateinCopy_" + std::to_string(p));
    }
    forms::Runtime::Get().Reset();
}

} // namespace
#include <QFontInfo>
namespace {
TEST_F(Screenshots, Debug) {
    app::Lizenz->Show();
    for (auto* c : {static_cast<forms::Control*>(&app::Lizenz->Label1),
                    static_cast<forms::Control*>(&app::Lizenz->Label2),
                    static_cast<forms::Control*>(&app::Lizenz->Label3)}) {
        QFontInfo i(Widget(*c).font());
        printf("%s: %s px=%d bold=%d req=%s\n", c->Name().c_str(), i.family().toUtf8().constData(),
               i.pixelSize(), i.bold(), Widget(*c).font().toString().toUtf8().constData());
    }
    forms::Runtime::Get().Reset();
}
} // namespace
