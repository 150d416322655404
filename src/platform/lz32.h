// lz32: expansion of files packed with the COMPRESS utility (SZDD format). A plain source
// is copied byte for byte. The portable machine uses the project's own decoder.
#pragma once

#include "platform/win_types.h"

namespace win {

#ifdef _WIN32
using ::LZClose;
using ::LZCopy;
using ::LZOpenFileA;
#else
// With OF_DELETE the file is deleted and TRUE returned (no handle), as OpenFile does.
INT LZOpenFileA(LPSTR fileName, LPOFSTRUCT reOpenBuf, WORD style);
LONG LZCopy(INT source, INT dest);
void LZClose(INT handle);
#endif

} // namespace win
