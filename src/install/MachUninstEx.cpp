#include "install/MachUninstEx.h"

#include "program/error_model.h"
#include "program/install_record.h"
#include "program/program_state.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

namespace install {

void MachUninstEx() {
    using WinRegistry::HKLM;
    forms::OnError run(app::ReportAndContinue);
    const std::vector<app::record::Target> targets = {{HKLM, kUninstallKey, "DisplayName"},
                                                      {HKLM, kUninstallKey, "UninstallString"}};
    run([&] { app::record::Before(app::record::Step::MachUninstEx, targets); });
    run([] {
        WinRegistry::WriteValue(HKLM, kUninstallKey, "DisplayName", "Dovek’s Zepanu's 1.0");
    });
    run([] {
        WinRegistry::WriteValue(HKLM, kUninstallKey, "UninstallString",
                                Setup_API::AddBackslash(app::ProgDir) + "Zepsetup.exe UnInst");
    });
    run([&] { app::record::After(app::record::Step::MachUninstEx, targets); });
}

} // namespace install
