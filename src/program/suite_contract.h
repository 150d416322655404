// What both runs know of each other: the suite's registry keys, the flags that record what
// the installation chose, and the file types the options page offers (what registering
// one writes, which the removal takes back).
#pragma once

#include "system/Setup_API.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The suite's own keys, which the removal deletes whole (the installation writes the two
// spellings Windows 95 keeps as one key).
inline constexpr const char* kSuiteMachineKey = "SOFTWARE\\Quorvel\\Zepanu";
inline constexpr const char* kSuiteUserKey = "Software\\Quorvel\\Zepanu";
// The version's key (HKEY_CURRENT_USER): the acceptance of the terms and the unfinished
// installation are values of it.
inline constexpr const char* kVersionKey = "Software\\Quorvel\\Zepanu\\3.0";

// The flag values under this key (HKEY_LOCAL_MACHINE) record what was associated.
inline constexpr const char* kFlagKey = "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx";
// Records the flag name as set (REG_DWORD 1).
void WriteFlag(std::string_view name);
// The flags of the folder assistant's verb, of the three context-menu extensions, and the
// six double-click choices (the first is the one the installation sets).
inline constexpr std::string_view kFolderAssistantFlag = "Trimbo";
inline constexpr std::array<std::string_view, 3> kContextMenuFlags = {
    "Prompt im Kontextmenü", "Erweiterter Explorer", "Pfad im Kontextmenü von Ordnern und Dateien"};
inline constexpr std::array<std::string_view, 6> kDoubleClickFlags = {
    "NotePad per Doppelklick",        "WordPad per Doppelklick", "Edit per Doppelklick",
    "Eigener Editor per Doppelklick", "Paint per Doppelklick",   "Standard (für Doppelklick)"};

// Where a command line or icon reference of a row starts: the program folder (short),
// the Windows folder (long) or its short form, or nowhere (a literal such as "%1").
enum class Base { Program, Windows, WindowsShort, None };

struct Cell {
    Base base;
    std::string_view rest;
};

struct FileType {
    std::string_view extension;
    std::string_view type; // the class's description and the name of its one verb
    std::string_view menu;
    Cell command;
    Cell icon;
    std::string_view flag;
};

extern const std::array<FileType, 13> kFileTypes;

// The cell's text for the program folder p (short form, without a trailing backslash);
// the Windows folder is asked for afresh.
std::string Resolve(const Cell& cell, std::string_view p);

// Every value registering row writes (Setup_API::WriteFileTypeScript) for the program
// folder p (as Resolve takes it).
std::vector<Setup_API::FileTypeValue> FileTypeValues(const FileType& row, std::string_view p);

} // namespace app
