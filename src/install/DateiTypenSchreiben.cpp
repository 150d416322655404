#include "install/DateiTypenSchreiben.h"

#include "app/error_model.h"
#include "app/program_state.h"
#include "forms/controls.h"
#include "system/Setup_API.h"
#include "system/WinRegistry.h"

#include <functional>

namespace install {
namespace {

using Build = std::function<std::string()>;

// Paths come in three forms: the program folder P (short), the Windows folder W (long)
// and its short form SW; W and SW are taken afresh for each row that uses them.
std::string P() {
    return app::ProgDir;
}
std::string W() {
    return Setup_API::GetWindowsDir();
}
std::string SW() {
    return Setup_API::GetShortPath(Setup_API::GetWindowsDir());
}

struct FileType {
    std::string_view extension;
    std::string_view type;
    std::string_view menu;
    Build command;
    Build icon;
    std::string_view flag;
};

Build In(std::string (*folder)(), std::string rest) {
    return [folder, rest = std::move(rest)] { return folder() + rest; };
}
Build Literal(std::string text) {
    return [text = std::move(text)] { return text; };
}

const std::array<FileType, 13>& FileTypes() {
    static const std::array<FileType, 13> rows = {{
        {"zip", "Zip-Dateien", "ZIP-Datei entpacken - Zepanu", In(P, "\\Zepanu.exe ZIPIn %1"),
         In(P, "\\Icons\\Symbols.icl,0"), "DateiTypZip"},
        {"cab", "Cab-Dateien", "CAB-Datei entpacken - Zepanu", In(P, "\\Zepanu.exe CABIn %1"),
         In(W, "\\System\\Shell32.dll,20"), "DateiTypCab"},
        {"icl", "Symbolbibliothek", "Symbolbibliothek anzeigen - Zepanu",
         In(P, "\\Zepanu.exe IcoIn %1"), In(P, "\\Icons\\Symbols.icl,1"), "DateiTypIcl"},
        {"dll", "Symbolbibliothek", "Symbolbibliothek anzeigen - Zepanu",
         In(P, "\\Zepanu.exe IcoIn %1"), In(P, "\\Icons\\Symbols.icl,1"), "DateiTypDll"},
        {"ico", "Symbolbibliothek", "Symbolbibliothek anzeigen - Zepanu",
         In(P, "\\Zepanu.exe IcoIn %1"), Literal("%1"), "DateiTypIco"},
        {"bmp", "Bild", "Bild anzeigen - Zepanu", In(P, "\\Vistrel.exe BmpIn %1"), Literal("%1"),
         "DateiTypBmp"},
        {"rle", "Bild", "Bild anzeigen - Zepanu", In(P, "\\Vistrel.exe BmpIn %1"), Literal("%1"),
         "DateiTypRle"},
        {"wmf", "Bild", "Bild anzeigen - Zepanu", In(P, "\\Vistrel.exe BmpIn %1"),
         In(P, "\\Icons\\Symbols.icl,2"), "DateiTypWmf"},
        {"gif", "Bild", "Bild anzeigen - Zepanu", In(P, "\\Vistrel.exe BmpIn %1"),
         In(P, "\\Icons\\Symbols.icl,2"), "DateiTypGif"},
        {"jpg", "Bild", "Bild anzeigen - Zepanu", In(P, "\\Vistrel.exe BmpIn %1"),
         In(P, "\\Icons\\Symbols.icl,2"), "DateiTypJpg"},
        {"cur", "Mauszeiger", "Bild anzeigen - Zepanu", In(P, "\\Vistrel.exe BmpIn %1"),
         Literal("%1"), "DateiTypCur"},
        {"diz", "Diz-Datei", "Programmbeschreibung öffnen - Zepanu", In(SW, "\\Notepad.exe %1"),
         In(P, "\\Icons\\Symbols.icl,46"), "DateiTypDiz"},
        {"log", "Ereignisprotokolle", "Ereignisprotokoll öffnen - Zepanu",
         In(SW, "\\Notepad.exe %1"), In(P, "\\Icons\\Symbols.icl,55"), "DateiTypLog"},
    }};
    return rows;
}

void WriteFlag(std::string_view flag) {
    WinRegistry::WriteValue(WinRegistry::HKLM, kFlagKey, flag, WinRegistry::Value::Integer(1));
}

void AssociateFileType(forms::OnError& run, const FileType& row) {
    run([&] {
        Setup_API::WriteFileTypeScript(0, std::string(row.extension), std::string(row.menu),
                                       std::string(row.type), row.command(), row.icon());
    });
    run([&] { WriteFlag(row.flag); });
}

void AddFolderAssistantVerb(forms::OnError& run) {
    using WinRegistry::HKCR;
    run([] {
        WinRegistry::WriteValue(HKCR, "Directory\\shell\\ZepanuTrimbo", "",
                                "&Ordner anpassen... - Zepanu");
    });
    run([] {
        WinRegistry::WriteValue(HKCR, "Directory\\shell\\ZepanuTrimbo\\Command", "",
                                Setup_API::AddBackslash(app::ProgDir) + "Falmir.exe %1");
    });
    run([] { WriteFlag("Trimbo"); });
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
    for (std::size_t i = 0; i < kFileTypeRows; ++i) {
        // A box that cannot be read counts as ticked.
        bool ticked = true;
        run([&] { ticked = boxes[i]->Value() != 0; });
        if (!ticked)
            continue;
        if (i < FileTypes().size())
            AssociateFileType(run, FileTypes()[i]);
        else
            AddFolderAssistantVerb(run);
    }
}

} // namespace install
