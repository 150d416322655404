#include "install/KnotextExVerscheidenes.h"

#include "install/DateiTypenSchreiben.h"
#include "program/error_model.h"
#include "program/install_record.h"
#include "program/program_state.h"
#include "system/WinRegistry.h"
#include "system/file_streams.h"

#include <initializer_list>
#include <string_view>
#include <vector>

namespace install {
namespace {

using WinRegistry::HKCR;
using WinRegistry::HKLM;

// Writes each line to the open script as a statement of its own.
void Lines(forms::OnError& run, std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines)
        run([&] { FileStreams::PrintLine(WinRegistry::kScriptStream, line); });
}

void Script(forms::OnError& run, std::initializer_list<std::string_view> lines) {
    run([] { WinRegistry::BeginRegScript(); });
    Lines(run, lines);
    run([] { WinRegistry::ImportRegScript(); });
}

void Flag(std::string_view name) {
    WinRegistry::WriteValue(HKLM, kFlagKey, name, WinRegistry::Value::Integer(1));
}

constexpr std::string_view kDoubleClickChoices[] = {
    "NotePad per Doppelklick",        "WordPad per Doppelklick", "Edit per Doppelklick",
    "Eigener Editor per Doppelklick", "Paint per Doppelklick",   "Standard (für Doppelklick)"};

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
    for (const char* flag : {"Prompt im Kontextmenü", "Erweiterter Explorer",
                             "Pfad im Kontextmenü von Ordnern und Dateien"})
        targets.push_back({HKLM, kFlagKey, flag});
    for (std::string_view choice : kDoubleClickChoices)
        targets.push_back({HKLM, kFlagKey, std::string(choice)});
    return targets;
}

} // namespace

void KnotextExVerscheidenes() {
    forms::OnError run(app::ReportAndContinue);
    const std::vector<app::record::Target> targets = Targets();
    run([&] { app::record::Before(app::record::Step::KnotextExVerscheidenes, targets); });
    Script(run, {
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
    Script(run, {
                    "[HKEY_CLASSES_ROOT\\Folder\\shell\\ZepanuExplorer]",
                    "@=\"Er&weiterter Explorer - Zepanu\"",
                    "",
                    "[HKEY_CLASSES_ROOT\\Folder\\shell\\ZepanuExplorer\\command]",
                    "@=\"Explorer.exe /e,/root,/idlist,%I\"",
                });

    // Script 3 stays open while the two command keys are written directly.
    run([] { WinRegistry::BeginRegScript(); });
    Lines(run, {
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

    run([] { Flag("Prompt im Kontextmenü"); });
    run([] { Flag("Erweiterter Explorer"); });
    run([] { Flag("Pfad im Kontextmenü von Ordnern und Dateien"); });

    Script(run, {
                    "[HKEY_CLASSES_ROOT\\Unknown\\shell\\open]",
                    "@=\"Mit &Notepad öffnen - Zepanu\"",
                    "",
                    "[HKEY_CLASSES_ROOT\\Unknown\\shell\\open\\command]",
                    "@=\"notepad %1\"",
                });
    run([] { WinRegistry::WriteValue(HKCR, "Unknown\\Shell", "", "open"); });

    // The double-click choice is one of six: all cleared, then Notepad's set.
    for (std::string_view choice : kDoubleClickChoices)
        run([&] { WinRegistry::DeleteValue(HKLM, kFlagKey, choice); });
    run([] { WinRegistry::WriteValue(HKLM, kFlagKey, "NotePad per Doppelklick", "True"); });
    run([&] { app::record::After(app::record::Step::KnotextExVerscheidenes, targets); });
}

} // namespace install
