// lz32: expansion of files packed with the COMPRESS utility (SZDD format). A plain source
// is copied byte for byte. The portable machine uses the project's own decoder.
#pragma once

#include "platform/win_types.h"

namespace win {

#ifdef _WIN32
using ::LZClose;
using ::LZCopy;
using ::LZInit;
using ::LZOpenFileA;
using ::LZSeek;
using ::OpenFile;
#else
// kernel32's OpenFile, whose handles the LZ functions take (see portable/files/lz32.cpp).
HFILE OpenFile(LPCSTR fileName, LPOFSTRUCT reOpenBuf, UINT style);
// A packed (SZDD) file's source gets an LZ handle of its own; a plain file keeps the one
// given, as Windows documents it.
INT LZInit(INT source);
// With OF_DELETE the file is deleted and TRUE returned (no handle), as OpenFile does.
INT LZOpenFileA(LPSTR fileName, LPOFSTRUCT reOpenBuf, WORD style);
// Origin 0, 1 or 2 as lseek; of a packed file the end is its expanded length as its header
// records it.
LONG LZSeek(INT handle, LONG offset, INT origin);
LONG LZCopy(INT source, INT dest);
// Closes an LZ handle or a file OpenFile opened.
void LZClose(INT handle);
#endif

} // namespace win
