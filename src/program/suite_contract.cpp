#include "program/suite_contract.h"

#include "system/Setup_API.h"
#include "system/WinRegistry.h"

namespace app {
const std::array<FileType, 13> kFileTypes = {{
    {"zip",
     "Zip-Dateien",
     "ZIP-Datei entpacken - Zepanu",
     {Base::Program, "\\Zepanu.exe ZIPIn %1"},
     {Base::Program, "\\Icons\\Symbols.icl,0"},
     "DateiTypZip"},
    {"cab",
     "Cab-Dateien",
     "CAB-Datei entpacken - Zepanu",
     {Base::Program, "\\Zepanu.exe CABIn %1"},
     {Base::Windows, "\\System\\Shell32.dll,20"},
     "DateiTypCab"},
    {"icl",
     "Symbolbibliothek",
     "Symbolbibliothek anzeigen - Zepanu",
     {Base::Program, "\\Zepanu.exe IcoIn %1"},
     {Base::Program, "\\Icons\\Symbols.icl,1"},
     "DateiTypIcl"},
    {"dll",
     "Symbolbibliothek",
     "Symbolbibliothek anzeigen - Zepanu",
     {Base::Program, "\\Zepanu.exe IcoIn %1"},
     {Base::Program, "\\Icons\\Symbols.icl,1"},
     "DateiTypDll"},
    {"ico",
     "Symbolbibliothek",
     "Symbolbibliothek anzeigen - Zepanu",
     {Base::Program, "\\Zepanu.exe IcoIn %1"},
     {Base::None, "%1"},
     "DateiTypIco"},
    {"bmp",
     "Bild",
     "Bild anzeigen - Zepanu",
     {Base::Program, "\\Vistrel.exe BmpIn %1"},
     {Base::None, "%1"},
     "DateiTypBmp"},
    {"rle",
     "Bild",
     "Bild anzeigen - Zepanu",
     {Base::Program, "\\Vistrel.exe BmpIn %1"},
     {Base::None, "%1"},
     "DateiTypRle"},
    {"wmf",
     "Bild",
     "Bild anzeigen - Zepanu",
     {Base::Program, "\\Vistrel.exe BmpIn %1"},
     {Base::Program, "\\Icons\\Symbols.icl,2"},
     "DateiTypWmf"},
    {"gif",
     "Bild",
     "Bild anzeigen - Zepanu",
     {Base::Program, "\\Vistrel.exe BmpIn %1"},
     {Base::Program, "\\Icons\\Symbols.icl,2"},
     "DateiTypGif"},
    {"jpg",
     "Bild",
     "Bild anzeigen - Zepanu",
     {Base::Program, "\\Vistrel.exe BmpIn %1"},
     {Base::Program, "\\Icons\\Symbols.icl,2"},
     "DateiTypJpg"},
    {"cur",
     "Mauszeiger",
     "Bild anzeigen - Zepanu",
     {Base::Program, "\\Vistrel.exe BmpIn %1"},
     {Base::None, "%1"},
     "DateiTypCur"},
    {"diz",
     "Diz-Datei",
     "Programmbeschreibung öffnen - Zepanu",
     {Base::WindowsShort, "\\Notepad.exe %1"},
     {Base::Program, "\\Icons\\Symbols.icl,46"},
     "DateiTypDiz"},
    {"log",
     "Ereignisprotokolle",
     "Ereignisprotokoll öffnen - Zepanu",
     {Base::WindowsShort, "\\Notepad.exe %1"},
     {Base::Program, "\\Icons\\Symbols.icl,55"},
     "DateiTypLog"},
}};

void WriteFlag(std::string_view name) {
    WinRegistry::WriteValue(WinRegistry::HKLM, kFlagKey, name, WinRegistry::Value::Integer(1));
}

std::string Resolve(const Cell& cell, std::string_view p) {
    switch (cell.base) {
    case Base::Program:
        return std::string(p) + std::string(cell.rest);
    case Base::Windows:
        return Setup_API::GetWindowsDir() + std::string(cell.rest);
    case Base::WindowsShort:
        return Setup_API::GetShortPath(Setup_API::GetWindowsDir()) + std::string(cell.rest);
    case Base::None:
        break;
    }
    return std::string(cell.rest);
}

std::vector<Setup_API::FileTypeValue> FileTypeValues(const FileType& row, std::string_view p) {
    return Setup_API::FileTypeValues(std::string(row.extension), std::string(row.menu),
                                     std::string(row.type), Resolve(row.command, p),
                                     Resolve(row.icon, p));
}

} // namespace app
