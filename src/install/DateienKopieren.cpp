#include "install/DateienKopieren.h"

#include "app/error_model.h"
#include "app/program_state.h"
#include "forms/app_object.h"
#include "forms/controls.h"
#include "forms/picture_box.h"
#include "install/manifest.h"
#include "platform/kernel32.h"
#include "system/Setup_API.h"

namespace install {
namespace {

constexpr DWORD kPauseAfterRow = 150;

} // namespace

void DateienKopieren(forms::Label& DateiName, forms::PictureBox& Picture1) {
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
    for (const ManifestRow& row : kManifest) {
        run([&] { DateiName.SetCaption(std::string(row.target)); });
        run([&] {
            Setup_API::ExpandFile(source + std::string(row.packed),
                                  folderOf(row.folder) + std::string(row.target));
        });
        run([&] { progress = static_cast<std::int16_t>(progress + row.weight); });
        run([&] { Setup_API::DrawProgress(Picture1, progress); });
        run([&] { win::Sleep(kPauseAfterRow); });
    }
}

} // namespace install
