#include "install/manifest.h"

namespace install {

// Packed names replace the last character by "_"; errata.tx_ alone was packed with a
// lower-case first letter.
const std::array<ManifestRow, kManifestRows> kManifest = {{
    {"Terms.txt", Folder::Program, "Terms.tx_", 1},
    {"Falmir.exe", Folder::Program, "Falmir.ex_", 5},
    {"Serkel.exe", Folder::Program, "Serkel.ex_", 2},
    {"Runnel.bat", Folder::Program, "Runnel.ba_", 1},
    {"Tellmo.exe", Folder::Program, "Tellmo.ex_", 6},
    {"Unpaxo.exe", Folder::Program, "Unpaxo.ex_", 7},
    {"Zepanu.exe", Folder::Program, "Zepanu.ex_", 11},
    {"Vistrel.exe", Folder::Program, "Vistrel.ex_", 2},
    {"Kanthor.exe", Folder::Program, "Kanthor.ex_", 2},
    {"Docpaxo.zip", Folder::Program, "Docpaxo.zi_", 7},
    {"Errata.txt", Folder::Program, "errata.tx_", 1},
    {"Brundel.exe", Folder::Program, "Brundel.ex_", 3},
    {"Zepsetup.exe", Folder::Program, "Zepsetup.ex_", 4},
    {"a_a.htm", Folder::Doc, "a_a.ht_", 1},
    {"a_b.htm", Folder::Doc, "a_b.ht_", 1},
    {"a_c.htm", Folder::Doc, "a_c.ht_", 1},
    {"a_d.htm", Folder::Doc, "a_d.ht_", 1},
    {"a_e.htm", Folder::Doc, "a_e.ht_", 1},
    {"b_a_a.htm", Folder::Doc, "b_a_a.ht_", 1},
    {"c_a_a.htm", Folder::Doc, "c_a_a.ht_", 1},
    {"d_a.htm", Folder::Doc, "d_a.ht_", 1},
    {"e_a.htm", Folder::Doc, "e_a.ht_", 1},
    {"aboutpg.htm", Folder::Doc, "aboutpg.ht_", 1},
    {"Start.htm", Folder::Doc, "Start.ht_", 1},
    {"Fwd.gif", Folder::Doc, "Fwd.gi_", 1},
    {"Back.gif", Folder::Doc, "Back.gi_", 1},
    {"Contents.gif", Folder::Doc, "Contents.gi_", 1},
    {"Visitor1.ico", Folder::Icons, "Visitor1.ic_", 1},
    {"Folder.gif", Folder::Icons, "Folder.gi_", 1},
    {"Bin1.ico", Folder::Icons, "Bin1.ic_", 1},
    {"Bin2.ico", Folder::Icons, "Bin2.ic_", 1},
    {"Symbols.icl", Folder::Icons, "Symbols.ic_", 6},
    {"Arrow1.ico", Folder::Icons, "Arrow1.ic_", 1},
    {"Arrow2.ico", Folder::Icons, "Arrow2.ic_", 1},
    {"Penguin1.ico", Folder::Icons, "Penguin1.ic_", 1},
    {"Memo1.ico", Folder::Icons, "Memo1.ic_", 1},
    {"Atom1.ico", Folder::Icons, "Atom1.ic_", 1},
    {"Atom2.ico", Folder::Icons, "Atom2.ic_", 1},
    {"FldOpn1.ico", Folder::Icons, "FldOpn1.ic_", 1},
    {"FldOpn2.ico", Folder::Icons, "FldOpn2.ic_", 1},
    {"FldOpn3.ico", Folder::Icons, "FldOpn3.ic_", 1},
    {"FldOpn4.ico", Folder::Icons, "FldOpn4.ic_", 1},
    {"FldOpn5.ico", Folder::Icons, "FldOpn5.ic_", 1},
    {"FldCls1.ico", Folder::Icons, "FldCls1.ic_", 1},
    {"FldCls2.ico", Folder::Icons, "FldCls2.ic_", 1},
    {"FldCls3.ico", Folder::Icons, "FldCls3.ic_", 1},
    {"FldCls4.ico", Folder::Icons, "FldCls4.ic_", 1},
    {"FldCls5.ico", Folder::Icons, "FldCls5.ic_", 1},
    {"FldCls6.ico", Folder::Icons, "FldCls6.ic_", 1},
    {"FldCls7.ico", Folder::Icons, "FldCls7.ic_", 1},
    {"FldCls8.ico", Folder::Icons, "FldCls8.ic_", 1},
    {"Group.ico", Folder::Icons, "Group.ic_", 1},
    {"Sysfile1.ico", Folder::Icons, "Sysfile1.ic_", 1},
    {"Grill1.ico", Folder::Icons, "Grill1.ic_", 1},
    {"Grill2.ico", Folder::Icons, "Grill2.ic_", 1},
    {"Globe1.ico", Folder::Icons, "Globe1.ic_", 1},
}};

std::string_view SubfolderOf(Folder folder) {
    switch (folder) {
    case Folder::Doc:
        return "Doc\\";
    case Folder::Icons:
        return "Icons\\";
    case Folder::Program:
        break;
    }
    return "";
}

} // namespace install
