#include "install/KnotextExVerscheidenes.h"

#include "install/DateiTypenSchreiben.h"
#include "program/error_model.h"
#include "program/install_record.h"
#include "program/program_state.h"
#include "program/suite_contract.h"
#include "system/WinRegistry.h"

#include <string_view>
#include <vector>

namespace install {
namespace {

using app::kFlagKey;
using WinRegistry::HKCR;
using WinRegistry::HKLM;
using WinRegistry::PrintRegScriptLines;
using WinRegistry::RunRegScript;

// Every value the step writes or deletes, for the installation's record.
std::vector<app::record::Target> Targets() {
    std::vector<app::record::Target> targets;
    for (const char* key :
         {"Directory\\shell\\ZepanuDos", "Directory\\shell\\ZepanuDos\\command",
          "Drive\\shell\\ZepanuDos", "Drive\\shell\\ZepanuDos\\COMMAND",
          "Folder\\shell\\ZepanuExplorer", "Folder\\shell\\ZepanuExplorer\\command",
          "Directory\\shell\\ZepanuDirIn", "*\\shell\\ZepanuDirIn",
          "Directory\\shell\\ZepanuDirIn\\Command", "*\\shell\\ZepanuDirIn\\Command"})
        targets.push_back({HKCR, key, ""});
    // Windows' own verbs for unknown files, with what the step writes there.
    targets.push_back(
        {HKCR, "Unknown\\shell\\open", "", {app::record::Text("Mit &Notepad öffnen - Zepanu")}});
    targets.push_back(
        {HKCR, "Unknown\\shell\\open\\command", "", {app::record::Text("notepad %1")}});
    targets.push_back({HKCR, "Unknown\\Shell", "", {app::record::Text("open")}});
    for (std::string_view flag : app::kContextMenuFlags)
        targets.push_back({HKLM, kFlagKey, std::string(flag)});
    for (std::string_view choice : app::kDoubleClickFlags)
        targets.push_back({HKLM, kFlagKey, std::string(choice)});
    return targets;
}

} // namespace

void KnotextExVerscheidenes() {
    forms::OnError run(app::ReportAndContinue);
    const std::vector<app::record::Target> targets = Targets();
    run([&] { app::record::Before(app::record::Step::KnotextExVerscheidenes, targets); });
    RunRegScript(run, {
                          "[HKEY_CLASSES_ROOT\\Directory\\shell\\ZepanuDos]",
                          "@=\"DOS &Ebene - Zepanu\"",
                          "",
                          "[HKEY_CLASSES_ROOT\\Directory\\shell\\ZepanuDos\\command]",
                          "@=\"command.com /k cd \\\"%1\\\"\"",
                          "",
                          "[HKEY_CLASSES_ROOT\\Drive\\shell\\ZepanuDos]",
                          "@=\"DOS &Ebene - Zepanu\"",
                          "",
                          "[HKEY_CLASSES_ROOT\\Drive\\shell\\ZepanuDos\\COMMAND]",
                          "@=\"command.com /k cd \\\"%1\\\"\"",
                      });
    RunRegScript(run, {
                          "[HKEY_CLASSES_ROOT\\Folder\\shell\\ZepanuExplorer]",
                          "@=\"Er&weiterter Explorer - Zepanu\"",
                          "",
                          "[HKEY_CLASSES_ROOT\\Folder\\shell\\ZepanuExplorer\\command]",
                          "@=\"Explorer.exe /e,/root,/idlist,%I\"",
                      });

    // Script 3 stays open while the two command keys are written directly.
    run([] { WinRegistry::BeginRegScript(); });
    PrintRegScriptLines(run, {
                                 "[HKEY_CLASSES_ROOT\\Directory\\shell\\ZepanuDirIn]",
                                 "@=\"&Pfad kopieren - Zepanu\"",
                                 "",
                                 "[HKEY_CLASSES_ROOT\\*\\shell\\ZepanuDirIn]",
                                 "@=\"&Pfad kopieren - Zepanu\"",
                             });
    run([] {
        WinRegistry::WriteValue(HKCR, "Directory\\shell\\ZepanuDirIn\\Command", "",
                                app::ProgDir + "\\Zepanu.exe DirIn %1");
    });
    run([] {
        WinRegistry::WriteValue(HKCR, "*\\shell\\ZepanuDirIn\\Command", "",
                                app::ProgDir + "\\Zepanu.exe DirIn %1");
    });
    run([] { WinRegistry::ImportRegScript(); });

    for (std::string_view flag : app::kContextMenuFlags)
        run([&] { app::WriteFlag(flag); });

    RunRegScript(run, {
                          "[HKEY_CLASSES_ROOT\\Unknown\\shell\\open]",
                          "@=\"Mit &Notepad öffnen - Zepanu\"",
                          "",
                          "[HKEY_CLASSES_ROOT\\Unknown\\shell\\open\\command]",
                          "@=\"notepad %1\"",
                      });
    run([] { WinRegistry::WriteValue(HKCR, "Unknown\\Shell", "", "open"); });

    // The double-click choice is one of six: all cleared, then Notepad's set.
    for (std::string_view choice : app::kDoubleClickFlags)
        run([&] { WinRegistry::DeleteValue(HKLM, kFlagKey, choice); });
    run([] { WinRegistry::WriteValue(HKLM, kFlagKey, app::kDoubleClickFlags[0], "True"); });
    run([&] { app::record::After(app::record::Step::KnotextExVerscheidenes, targets); });
}

} // namespace install
