// Icons: ICO files as Windows 95 reads them (a directory, then per image a
// BITMAPINFOHEADER, colour table, colour bits and AND mask), and the icon library
// stand-in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace make_dist {

// An ICO file with the picture DrawMotif gives the name, twice at 32 x 32: in 16 colours
// and in 256 colours (shaded from top to bottom).
std::string IconFile(std::string_view name);

// The icon library stand-in, a container of this project's own making (not a Windows
// resource file): "ICLB", a 16-bit version (1) and count, then per icon its offset and
// size (32 bits each) and a 16-byte NUL-padded name, then the icons as ICO files, each
// named after the library and its number ("Symbols01").
std::string IconLibrary(std::string_view name, std::size_t count);

} // namespace make_dist
