#include "install/DateiTypenSchreiben.h"

#include "forms/controls.h"
#include "program/error_model.h"
#include "program/install_record.h"
#include "program/program_state.h"
#include "program/suite_contract.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

#include <vector>

namespace install {
namespace {

using app::kFlagKey;
using app::record::Target;
using WinRegistry::HKCR;
using WinRegistry::HKLM;

constexpr const char* kFolderVerb = "Directory\\shell\\ZepanuTrimbo";

void AssociateFileType(forms::OnError& run, const app::FileType& row) {
    run([&] {
        Setup_API::WriteFileTypeScript(
            0, std::string(row.extension), std::string(row.menu), std::string(row.type),
            app::Resolve(row.command, app::ProgDir), app::Resolve(row.icon, app::ProgDir));
    });
    run([&] { app::WriteFlag(row.flag); });
}

void AddFolderAssistantVerb(forms::OnError& run) {
    run([] { WinRegistry::WriteValue(HKCR, kFolderVerb, "", "&Ordner anpassen... - Zepanu"); });
    run([] {
        WinRegistry::WriteValue(HKCR, std::string(kFolderVerb) + "\\Command", "",
                                Setup_API::AddBackslash(app::ProgDir) + "Falmir.exe %1");
    });
    run([] { app::WriteFlag(app::kFolderAssistantFlag); });
}

// What the ticked rows write, for the installation's record.
std::vector<Target> Targets(const std::array<bool, kFileTypeRows>& ticked) {
    std::vector<Target> targets;
    for (std::size_t i = 0; i < kFileTypeRows; ++i) {
        if (!ticked[i])
            continue;
        std::string_view flag = app::kFolderAssistantFlag;
        if (i < app::kFileTypes.size()) {
            for (const auto& value : app::FileTypeValues(app::kFileTypes[i], app::ProgDir)) {
                std::vector<WinRegistry::Stored> writes = {value.data};
                if (value.passing)
                    writes.insert(writes.begin(), *value.passing);
                targets.push_back({HKCR, value.key, value.name, writes});
            }
            flag = app::kFileTypes[i].flag;
        } else {
            targets.push_back({HKCR, kFolderVerb, ""});
            targets.push_back({HKCR, std::string(kFolderVerb) + "\\Command", ""});
        }
        targets.push_back({HKLM, kFlagKey, std::string(flag)});
    }
    return targets;
}

} // namespace

const std::array<std::string_view, kFileTypeRows> kFileTypeCaptions = {
    "Zip-Dateien (Gepackte Dateien entpacken)",
    "Cab-Dateien (Gepackte Dateien entpacken)",
    "Icl-Dateien (Symbolbibliotheken)",
    "Dll-Dateien (Symbolbibliotheken)",
    "Ico-Dateien (Symbole)",
    "Bmp-Dateien (Bilder)",
    "Rle-Dateien (Bilder)",
    "Wmf-Dateien (Bilder)",
    "Gif-Dateien (Bilder)",
    "Jpg-Dateien (Bilder)",
    "Cur-Dateien (Mauszeiger)",
    "Diz-Dateien (Programmbeschreibungen)",
    "Log-Dateien (Ereignisprotokolle)",
    "Ordner mit dem Ordnerassistenten verknüpfen",
};

void DateiTypenSchreiben(const std::array<forms::CheckBox*, kFileTypeRows>& boxes) {
    forms::OnError run(app::ReportAndContinue);
    // A box that cannot be read counts as ticked.
    std::array<bool, kFileTypeRows> ticked{};
    for (std::size_t i = 0; i < kFileTypeRows; ++i) {
        ticked[i] = true;
        run([&] { ticked[i] = boxes[i]->Value() != 0; });
    }
    std::vector<Target> targets = Targets(ticked);
    if (targets.empty())
        return;
    run([&] { app::record::Before(app::record::Step::DateiTypenSchreiben, targets); });
    for (std::size_t i = 0; i < kFileTypeRows; ++i) {
        if (!ticked[i])
            continue;
        if (i < app::kFileTypes.size())
            AssociateFileType(run, app::kFileTypes[i]);
        else
            AddFolderAssistantVerb(run);
    }
    run([&] { app::record::After(app::record::Step::DateiTypenSchreiben, targets); });
}

} // namespace install
