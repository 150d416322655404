// The file types the options page offers: what registering one writes is known to both
// runs, the installation that writes it and the removal that takes it back.
#pragma once

#include "system/Setup_API.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace app {

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
