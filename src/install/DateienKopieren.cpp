#include "install/DateienKopieren.h"

#include "forms/app_object.h"
#include "forms/controls.h"
#include "forms/picture_box.h"
#include "install/manifest.h"
#include "platform/kernel32.h"
#include "program/error_model.h"
#include "program/program_state.h"
#include "system/Setup_API.h"

namespace install {
namespace {

constexpr DWORD kPauseAfterRow = 150;

} // namespace

std::string NotInstalledMessage(const std::vector<std::string>& names) {
    std::string text = "Die folgenden Dateien konnten nicht installiert werden:\n";
    for (const auto& name : names)
        text += "\n" + name;
    return text + "\n\nVielleicht sind die Installationsdateien beschädigt oder es ist nicht "
                  "genug Platz auf dem Laufwerk. Bitte führen Sie Setup noch einmal aus!";
}

std::vector<std::string> DateienKopieren(forms::Label& DateiName, forms::PictureBox& Picture1) {
    using Setup_API::AddBackslash;
    using Setup_API::GetShortPath;
    forms::OnError run(app::ReportAndContinue);
    std::string source, program, doc, icons;
    std::int16_t progress = 0;
    run([&] { source = AddBackslash(GetShortPath(forms::App::Path())); });
    run([&] { program = AddBackslash(GetShortPath(app::ProgDir)); });
    run([&] { doc = program + "Doc\\"; });
    run([&] { icons = program + "Icons\\"; });
    auto folderOf = [&](Folder folder) -> const std::string& {
        return folder == Folder::Doc ? doc : folder == Folder::Icons ? icons : program;
    };
    std::vector<std::string> notInstalled;
    for (const ManifestRow& row : kManifest) {
        run([&] { DateiName.SetCaption(std::string(row.target)); });
        bool installed = false;
        run([&] {
            installed = Setup_API::ExpandFile(source + std::string(row.packed),
                                              folderOf(row.folder) + std::string(row.target));
        });
        if (!installed)
            notInstalled.emplace_back(row.target);
        run([&] { progress = static_cast<std::int16_t>(progress + row.weight); });
        run([&] { Setup_API::DrawProgress(Picture1, progress); });
        run([&] { win::Sleep(kPauseAfterRow); });
    }
    return notInstalled;
}

} // namespace install
