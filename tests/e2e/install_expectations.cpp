#include "install_expectations.h"

namespace install_expectations {
namespace {

using testing_support::Binary;
using testing_support::Dword;
using testing_support::Sz;

const std::string kFlags = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx";

struct Row {
    const char* ext;
    const char* type;
    const char* menu;
    std::string command;
    std::string icon;
    const char* flag;
};

std::vector<Row> Rows(const std::string& P, const std::string& W, const std::string& SW) {
    return {
        {"zip", "Zip-Dateien", "ZIP-Datei entpacken - Zepanu", P + "\\Zepanu.exe ZIPIn %1",
         P + "\\Icons\\Symbols.icl,0", "DateiTypZip"},
        {"cab", "Cab-Dateien", "CAB-Datei entpacken - Zepanu", P + "\\Zepanu.exe CABIn %1",
         W + "\\System\\Shell32.dll,20", "DateiTypCab"},
        {"icl", "Symbolbibliothek", "Symbolbibliothek anzeigen - Zepanu",
         P + "\\Zepanu.exe IcoIn %1", P + "\\Icons\\Symbols.icl,1", "DateiTypIcl"},
        {"dll", "Symbolbibliothek", "Symbolbibliothek anzeigen - Zepanu",
         P + "\\Zepanu.exe IcoIn %1", P + "\\Icons\\Symbols.icl,1", "DateiTypDll"},
        {"ico", "Symbolbibliothek", "Symbolbibliothek anzeigen - Zepanu",
         P + "\\Zepanu.exe IcoIn %1", "%1", "DateiTypIco"},
        {"bmp", "Bild", "Bild anzeigen - Zepanu", P + "\\Vistrel.exe BmpIn %1", "%1",
         "DateiTypBmp"},
        {"rle", "Bild", "Bild anzeigen - Zepanu", P + "\\Vistrel.exe BmpIn %1", "%1",
         "DateiTypRle"},
        {"wmf", "Bild", "Bild anzeigen - Zepanu", P + "\\Vistrel.exe BmpIn %1",
         P + "\\Icons\\Symbols.icl,2", "DateiTypWmf"},
        {"gif", "Bild", "Bild anzeigen - Zepanu", P + "\\Vistrel.exe BmpIn %1",
         P + "\\Icons\\Symbols.icl,2", "DateiTypGif"},
        {"jpg", "Bild", "Bild anzeigen - Zepanu", P + "\\Vistrel.exe BmpIn %1",
         P + "\\Icons\\Symbols.icl,2", "DateiTypJpg"},
        {"cur", "Mauszeiger", "Bild anzeigen - Zepanu", P + "\\Vistrel.exe BmpIn %1", "%1",
         "DateiTypCur"},
        {"diz", "Diz-Datei", "Programmbeschreibung öffnen - Zepanu", SW + "\\Notepad.exe %1",
         P + "\\Icons\\Symbols.icl,46", "DateiTypDiz"},
        {"log", "Ereignisprotokolle", "Ereignisprotokoll öffnen - Zepanu", SW + "\\Notepad.exe %1",
         P + "\\Icons\\Symbols.icl,55", "DateiTypLog"},
    };
}

void Append(std::vector<Expected>& to, const std::vector<Expected>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

} // namespace

std::vector<Expected> FileType(int index, const std::string& P, const std::string& W,
                               const std::string& SW) {
    const Row row = Rows(P, W, SW).at(static_cast<size_t>(index));
    std::string cls = "HKEY_CLASSES_ROOT\\" + std::string(row.ext) + "File";
    std::string ext = "HKEY_CLASSES_ROOT\\." + std::string(row.ext);
    return {
        {cls, "", Sz(row.type)},
        {cls, "EditFlags", Binary({0xd2, 0x01, 0x00, 0x00})},
        {cls + "\\Shell", "", Sz(row.type)},
        {cls + "\\Shell\\" + row.type, "", Sz(row.menu)},
        {cls + "\\Shell\\" + row.type + "\\Command", "", Sz(row.command)},
        {cls + "\\DefaultIcon", "", Sz(row.icon)},
        {ext, "", Sz(std::string(row.ext) + "File")},
        {ext + "\\ShellEx\\{BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}", "",
         Sz("{7376D660-C583-11d0-A3A5-00C04FD706EC}")},
        {kFlags, row.flag, Dword(1)},
    };
}

std::vector<Expected> FolderVerb(const std::string& P) {
    return {
        {"HKEY_CLASSES_ROOT\\Directory\\shell\\ZepanuTrimbo", "",
         Sz("&Ordner anpassen... - Zepanu")},
        {"HKEY_CLASSES_ROOT\\Directory\\shell\\ZepanuTrimbo\\Command", "",
         Sz(P + "\\Falmir.exe %1")},
        {kFlags, "Trimbo", Dword(1)},
    };
}

std::vector<Expected> ContextMenus(const std::string& P) {
    const std::string cr = "HKEY_CLASSES_ROOT\\";
    return {
        {cr + "Directory\\shell\\ZepanuDos", "", Sz("DOS &Ebene - Zepanu")},
        {cr + "Directory\\shell\\ZepanuDos\\command", "", Sz("command.com /k cd \"%1\"")},
        {cr + "Drive\\shell\\ZepanuDos", "", Sz("DOS &Ebene - Zepanu")},
        {cr + "Drive\\shell\\ZepanuDos\\COMMAND", "", Sz("command.com /k cd \"%1\"")},
        {cr + "Folder\\shell\\ZepanuExplorer", "", Sz("Er&weiterter Explorer - Zepanu")},
        {cr + "Folder\\shell\\ZepanuExplorer\\command", "", Sz("Explorer.exe /e,/root,/idlist,%I")},
        {cr + "Directory\\shell\\ZepanuDirIn", "", Sz("&Pfad kopieren - Zepanu")},
        {cr + "*\\shell\\ZepanuDirIn", "", Sz("&Pfad kopieren - Zepanu")},
        {cr + "Directory\\shell\\ZepanuDirIn\\Command", "", Sz(P + "\\Zepanu.exe DirIn %1")},
        {cr + "*\\shell\\ZepanuDirIn\\Command", "", Sz(P + "\\Zepanu.exe DirIn %1")},
        {kFlags, "Prompt im Kontextmenü", Dword(1)},
        {kFlags, "Erweiterter Explorer", Dword(1)},
        {kFlags, "Pfad im Kontextmenü von Ordnern und Dateien", Dword(1)},
        {cr + "Unknown\\shell\\open", "", Sz("Mit &Notepad öffnen - Zepanu")},
        {cr + "Unknown\\shell\\open\\command", "", Sz("notepad %1")},
        {cr + "Unknown\\Shell", "", Sz("open")},
        {kFlags, "NotePad per Doppelklick", Sz("True")},
    };
}

std::vector<Expected> TaskbarSymbols(const std::string& P) {
    const std::string symbols =
        "HKEY_CURRENT_USER\\SOFTWARE\\Quorvel\\Zepanu\\Task-Leisten Symbole";
    return {
        {symbols, "TaskBar Aktiv", Dword(1)},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
         "Dovek's Zepanu 1.0", Sz(P + "\\Tellmo.exe LoadMe")},
        {symbols, "Dovek's Zepanu 1.0 Hauptfenster", Dword(1)},
        {symbols, "Windows-Explorer", Dword(1)},
        {symbols, "MS-DOS Ebene", Dword(1)},
        {symbols, "Netscape Navigator", Dword(1)},
        {symbols, "Windows beenden", Dword(1)},
        {symbols, "Abmelden", Dword(0)},
        {symbols, "Windows neu starten", Dword(1)},
        {symbols, "Window-Killer", Dword(1)},
    };
}

std::vector<Expected> SystemIcons(const std::string& P) {
    const std::string icons =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
    const std::string cr = "HKEY_CLASSES_ROOT\\";
    const std::string bin = cr + "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon";
    const std::string metrics = "HKEY_CURRENT_USER\\Control Panel\\desktop\\WindowMetrics";
    const std::string p = P + "\\Icons\\";
    return {
        {metrics, "Shell Icon BPP", Sz("16")},
        {"HKEY_CURRENT_USER\\Software\\Quorvel\\Zepanu\\Extras",
         "Symbole mit höchster Farbtiefe anzeigen", Dword(1)},
        {icons, "15", Sz(p + "Visitor1.ico,0")},
        {cr + "CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\DefaultIcon", "",
         Sz(p + "Visitor1.ico,0")},
        {icons, "17", Sz(p + "Symbols.icl,7")},
        {cr + "CLSID\\{208D2C60-3AEA-1069-A2D7-08002B30309D}\\DefaultIcon", "",
         Sz(p + "Symbols.icl,7")},
        {icons, "8", Sz(p + "Symbols.icl,13")},
        {cr + "Drive\\DefaultIcon", "", Sz(p + "Symbols.icl,13")},
        {icons, "6", Sz(p + "Symbols.icl,12")},
        {icons, "3", Sz(p + "FldCls7.ico,0")},
        {cr + "Folder\\DefaultIcon", "", Sz(p + "FldCls7.ico,0")},
        {icons, "4", Sz(p + "FldOpn4.ico,0")},
        {icons, "32", Sz(p + "Symbols.icl,11")},
        {bin, "Full", Sz(p + "Symbols.icl,11")},
        {icons, "31", Sz(p + "Symbols.icl,10")},
        {bin, "", Sz(p + "Symbols.icl,10")},
        {bin, "Empty", Sz(p + "Symbols.icl,10")},
        {icons, "29", Sz(p + "Arrow1.ico,0")},
        {icons, "19", Sz(p + "Group.ico,0")},
        {icons, "36", Sz(p + "Group.ico,0")},
        {cr + "vxdfile\\DefaultIcon", "", Sz(p + "Sysfile1.ico,0")},
        {cr + "dllfile\\DefaultIcon", "", Sz(p + "Sysfile1.ico,0")},
        {cr + "cplfile\\DefaultIcon", "", Sz(p + "Sysfile1.ico,0")},
        {cr + "drvfile\\DefaultIcon", "", Sz(p + "Sysfile1.ico,0")},
        {cr + "sysfile\\DefaultIcon", "", Sz(p + "Sysfile1.ico,0")},
        {cr + "txtfile\\DefaultIcon", "", Sz(p + "Memo1.ico")},
        // The icon refresh leaves the icon size at 32.
        {metrics, "Shell Icon Size", Sz("32")},
    };
}

std::vector<Expected> Always(const std::string& P) {
    const std::string uninstall =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zepanu03DE";
    return {
        {"HKEY_CURRENT_USER\\Software\\Quorvel\\Zepanu\\3.0",
         "Der Benutzer hat der Lizenz zugestimmt", Sz("Ja")},
        {uninstall, "DisplayName", Sz("Dovek’s Zepanu's 1.0")},
        {uninstall, "UninstallString", Sz(P + "\\Zepsetup.exe UnInst")},
    };
}

std::vector<Expected> FullInstall(const std::string& P, const std::string& W,
                                  const std::string& SW) {
    std::vector<Expected> all = Always(P);
    for (int i = 0; i < 13; ++i)
        Append(all, FileType(i, P, W, SW));
    Append(all, FolderVerb(P));
    Append(all, ContextMenus(P));
    Append(all, TaskbarSymbols(P));
    // The system icons run last; their dllfile icon replaces the one of the dll row.
    Append(all, SystemIcons(P));
    return all;
}

} // namespace install_expectations
