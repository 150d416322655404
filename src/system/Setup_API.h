// Setup_API: the service module every step uses: file and path services
// (file_services.cpp) and, each in a file of its own, the other services of the module.
// Strings are UTF-8; they cross into the platform as ANSI. Failures an operation does not
// absorb are run-time errors for the caller's error policy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Setup_API {

// ---- File and path services (file_services.cpp). Nothing is kept open between calls
// and no message is shown.

// The Windows system folder without a trailing backslash; set by GetSystemDir.
extern std::string SysDir;

// Sets SysDir from the platform; a failing call leaves it empty.
void GetSystemDir();
// The Windows folder without a trailing backslash, or empty when the call fails.
std::string GetWindowsDir();
// The temporary folder with its trailing backslash. Run-time error 5 when the platform
// wrote nothing.
std::string GetTempDir();
// path with exactly one backslash added unless it already ends in one. Run-time error 5
// for an empty path.
std::string AddBackslash(std::string_view path);
// The 8.3 form of an existing path, or empty when it does not exist.
std::string GetShortPath(std::string_view path);
// Expands the SZDD-packed source into target (or copies a plain source). The target is
// created (or emptied) even when the source cannot be read; nothing is reported.
void ExpandFile(std::string_view source, std::string_view target);

// ---- File types through registry scripts (file_type_script.cpp). Failures of the script
// or of the registry editor are run-time errors for the caller.

// removeOnly != 0: deletes HKEY_CLASSES_ROOT\<extension>File and \.<extension> with their
// subtrees (only the extension is used). removeOnly == 0: unless one of the five texts is
// missing (then nothing happens), imports the script of the class <extension>File (type
// name as its description, EditFlags d2 01 00 00, one verb named after the type name with
// the caption, .<extension> pointing to it) and then writes the icon, the verb's command,
// the default verb and the image-extraction handler directly.
void WriteFileTypeScript(std::int16_t removeOnly, std::optional<std::string> extension = {},
                         std::optional<std::string> caption = {},
                         std::optional<std::string> typeName = {},
                         std::optional<std::string> command = {},
                         std::optional<std::string> icon = {});

} // namespace Setup_API
