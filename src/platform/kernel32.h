// kernel32: the file, folder and error functions the program calls, with Win32 names,
// argument order and return conventions. The portable machine implements them in
// portable/kernel32.cpp; the Windows build forwards to the real functions.
#pragma once

#include "platform/win_types.h"

namespace win {

#ifdef _WIN32
using ::CloseHandle;
using ::CreateDirectoryA;
using ::CreateFileA;
using ::DeleteFileA;
using ::FindClose;
using ::FindFirstFileA;
using ::FindNextFileA;
using ::GetCurrentDirectoryA;
using ::GetDriveTypeA;
using ::GetFileAttributesA;
using ::GetFileSize;
using ::GetLastError;
using ::GetLogicalDriveStringsA;
using ::GetShortPathNameA;
using ::GetSystemDirectoryA;
using ::GetTempFileNameA;
using ::GetTempPathA;
using ::GetWindowsDirectoryA;
using ::MoveFileA;
using ::MoveFileExA;
using ::OutputDebugStringA;
using ::ReadFile;
using ::RemoveDirectoryA;
using ::SetCurrentDirectoryA;
using ::SetFileAttributesA;
using ::SetFilePointer;
using ::SetLastError;
using ::WriteFile;
#else
DWORD GetLastError();
void SetLastError(DWORD code);

UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
DWORD GetTempPathA(DWORD size, LPSTR buffer);
DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size);
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);

UINT GetDriveTypeA(LPCSTR root);
DWORD GetLogicalDriveStringsA(DWORD size, LPSTR buffer);

BOOL CreateDirectoryA(LPCSTR path, void* securityAttributes);
BOOL RemoveDirectoryA(LPCSTR path);
BOOL DeleteFileA(LPCSTR path);
DWORD GetFileAttributesA(LPCSTR path);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);

// Files as streams. Sharing modes, security attributes, flags and templates are accepted
// and ignored; synchronous I/O only.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, void* securityAttributes,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD written, void* overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
// Closes any kernel handle (files, processes).
BOOL CloseHandle(HANDLE object);
BOOL MoveFileA(LPCSTR from, LPCSTR to);
BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
// With unique 0: makes a new empty file folder\PPPXXXX.TMP (PPP the prefix's first three
// characters, XXXX hexadecimal) and returns XXXX; 0 on failure. The machine takes it for a
// temporary file: left behind by a process that died, it is removed.
UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR name);

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE find);

// The debugger's output: on the portable machine one line of the machine's journal (cut
// after 1,000 characters), where nothing else would see it.
void OutputDebugStringA(LPCSTR text);
#endif

} // namespace win

// ---- Processes (portable/kernel32_process.cpp). The portable machine runs one program of
// its own: a command line whose program is regedit (any case, with or without a folder or
// ".EXE") runs the machine's registry editor, `zepmachine regedit ARGS`, as a child process
// on the current machine. Any other program fails with ERROR_FILE_NOT_FOUND. The editor
// binary is $ZEPMACHINE when set, else `zepmachine` next to the running executable or in
// the build tree's tools/zepmachine folder, else the first `zepmachine` on $PATH.
namespace win {

#ifdef _WIN32
using ::CreateMutexA;
using ::CreateProcessA;
using ::GetExitCodeProcess;
using ::WaitForSingleObject;
#else
// Application name, security attributes, inheritance, creation flags, environment and
// start-up information are accepted and ignored; currentDirectory must be null.
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, void* processAttributes,
                    void* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);
// Waits for a process handle: WAIT_OBJECT_0 once it has ended, WAIT_TIMEOUT, or
// WAIT_FAILED for any other handle.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
// STILL_ACTIVE while the process runs, else its exit status.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
// A named mutex of the machine (portable/kernel32_mutex.cpp): it exists while a handle
// that made it is open, in any process of the machine, and goes with that process however
// it ends. When it exists already the handle does not hold it and GetLastError says
// ERROR_ALREADY_EXISTS, also within one process, as on Windows. Left out: waiting for it,
// ReleaseMutex, unnamed mutexes (null: ERROR_INVALID_PARAMETER).
HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, LPCSTR name);
#endif

} // namespace win

// ---- Clock, program start and profile files (portable/kernel32_clock.cpp,
// kernel32_module.cpp, kernel32_profile.cpp).
namespace win {

#ifdef _WIN32
using ::GetCommandLineA;
using ::GetModuleFileNameA;
using ::WritePrivateProfileStringA;
// The program's clock (win32/kernel32_clock.cpp): the real one, or with
// ZEPSETUP_FAST_CLOCK=1 in the environment a fast one on which Sleep returns at once and
// only moves the tick count on, for tests and benchmarks.
void Sleep(DWORD milliseconds);
DWORD GetTickCount();
#else
// Sleeps on the machine's clock: really, or on a virtual clock only adding the time up.
// A machine whose clock cannot be read (its store damaged, locked or gone) cannot run a
// program at all: both calls then throw portable::MachineError, the one failure of the
// machine that ends the program (its main reports it) instead of coming back as a result.
void Sleep(DWORD milliseconds);
// Milliseconds on the machine's clock, wrapping at 2^32 as on Windows.
DWORD GetTickCount();
// The program's command line: its Windows path, a blank and the argument text.
LPSTR GetCommandLineA();
// The Windows path of the running program (module must be null); Win32 buffer rules.
DWORD GetModuleFileNameA(void* module, LPSTR buffer, DWORD size);
// Sets key=value in [section] of an INI file (a bare file name lies in the Windows
// folder). A null value deletes the entry, a null key the whole section. The file is
// written anew and renamed over the old one, so it is never left half written.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
#endif

} // namespace win
