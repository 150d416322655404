#include "install/KnotextExVerscheidenes.h"

#include "app/error_model.h"
#include "app/program_state.h"
#include "install/DateiTypenSchreiben.h"
#include "system/WinRegistry.h"
#include "system/file_streams.h"

#include <initializer_list>
#include <string_view>

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

} // namespace

void KnotextExVerscheidenes() {
    forms::OnError run(app::ReportAndContinue);
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
    for (std::string_view choice :
         {"NotePad per Doppelklick", "WordPad per Doppelklick", "Edit per Doppelklick",
          "Eigener Editor per Doppelklick", "Paint per Doppelklick", "Standard (für Doppelklick)"})
        run([&] { WinRegistry::DeleteValue(HKLM, kFlagKey, choice); });
    run([] { WinRegistry::WriteValue(HKLM, kFlagKey, "NotePad per Doppelklick", "True"); });
}

} // namespace install
