// The installed files as the removal names them: the deletion order of the file removal
// and the order of the restart entries, which differ in the program folder's part. All
// names are 8.3 names, written unchanged behind the folder's short form.
#pragma once

#include <array>
#include <string_view>

namespace uninstall {

inline constexpr std::array<std::string_view, 12> kDeleteFromProgramFolder = {
    "Terms.txt",  "Kanthor.exe", "Vistrel.exe", "Falmir.exe",  "Serkel.exe",  "Runnel.bat",
    "Tellmo.exe", "Unpaxo.exe",  "Zepanu.exe",  "Docpaxo.zip", "Brundel.exe", "Errata.txt",
};

// The setup program itself comes last: it is running the removal.
inline constexpr std::array<std::string_view, 13> kRestartFromProgramFolder = {
    "Terms.txt",   "Falmir.exe",  "Serkel.exe",   "Runnel.bat", "Tellmo.exe",
    "Kanthor.exe", "Vistrel.exe", "Unpaxo.exe",   "Zepanu.exe", "Docpaxo.zip",
    "Errata.txt",  "Brundel.exe", "Zepsetup.exe",
};

inline constexpr std::array<std::string_view, 14> kDocFiles = {
    "a_a.htm", "a_b.htm", "a_c.htm",     "a_d.htm",   "a_e.htm", "b_a_a.htm", "c_a_a.htm",
    "d_a.htm", "e_a.htm", "aboutpg.htm", "Start.htm", "Fwd.gif", "Back.gif",  "Contents.gif",
};

inline constexpr std::array<std::string_view, 29> kIconFiles = {
    "Visitor1.ico", "Folder.gif",   "Bin1.ico",    "Bin2.ico",    "Symbols.icl", "Arrow1.ico",
    "Arrow2.ico",   "Penguin1.ico", "Memo1.ico",   "Atom1.ico",   "Atom2.ico",   "FldOpn1.ico",
    "FldOpn2.ico",  "FldOpn3.ico",  "FldOpn4.ico", "FldOpn5.ico", "FldCls1.ico", "FldCls2.ico",
    "FldCls3.ico",  "FldCls4.ico",  "FldCls5.ico", "FldCls6.ico", "FldCls7.ico", "FldCls8.ico",
    "Group.ico",    "Sysfile1.ico", "Grill1.ico",  "Grill2.ico",  "Globe1.ico",
};

} // namespace uninstall
