// Setup_API: the service module every step uses: file and path services
// (file_services.cpp) and, each in a file of its own, the other services of the module.
// Strings are UTF-8; they cross into the platform as ANSI. Failures an operation does not
// absorb are run-time errors for the caller's error policy.
#pragma once

#include "platform/win_types.h"
#include "system/WinRegistry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forms {
class Form;
class PictureBox;
} // namespace forms

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
// Expands the SZDD-packed source into target (or copies a plain source), through a new
// temporary file in target's folder that replaces target only once it holds every byte the
// source declares: no truncated, empty or raw file ever lies under target's name. A source
// named as a packed file (its last character "_") must be packed. False when target was
// not installed: the reason is noted (RunFailures) and target is as it was.
bool ExpandFile(std::string_view source, std::string_view target);

// ---- File types through registry scripts (file_type_script.cpp). Failures of the script
// or of the registry editor are run-time errors for the caller.

// removeOnly != 0: deletes HKEY_CLASSES_ROOT\<extension>File and \.<extension> with their
// subtrees (only the extension is used). removeOnly == 0: unless one of the five texts is
// missing (then nothing happens), imports the script of the class <extension>File (type
// name as its description, EditFlags d2 01 00 00, one verb named after the type name with
// the caption, .<extension> pointing to it) and then writes the icon, the verb's command,
// the default verb and the image-extraction handler directly.
// A value WriteFileTypeScript writes under HKEY_CLASSES_ROOT, with its data.
struct FileTypeValue {
    std::string key;
    std::string name; // "" for the default value
    WinRegistry::Stored data;
    // What the script writes there first, where that is other data.
    std::optional<WinRegistry::Stored> passing = std::nullopt;
};
// Every value WriteFileTypeScript writes for these texts, through the script and directly.
std::vector<FileTypeValue> FileTypeValues(const std::string& extension, const std::string& caption,
                                          const std::string& typeName, const std::string& command,
                                          const std::string& icon);
void WriteFileTypeScript(std::int16_t removeOnly, std::optional<std::string> extension = {},
                         std::optional<std::string> caption = {},
                         std::optional<std::string> typeName = {},
                         std::optional<std::string> command = {},
                         std::optional<std::string> icon = {});

// ---- Window and screen services (one file each: center_form.cpp, set_top_most.cpp,
// draw_progress.cpp, explode_form.cpp, colour_count.cpp, window_search.cpp). Window
// measures are twips, platform rectangles pixels.

// Centres window in the screen area the taskbar leaves free, measured from the screen's
// top-left corner; a taskbar docked on top of an 800-pixel screen (804 pixels wide, top
// -2) moves it a further 410 twips down. Failures are passed over.
void CenterForm(forms::Form& window);
// Keeps window above all others (on != 0) or brings it to the top (on == 0: HWND_TOP,
// which leaves a topmost window topmost).
void SetTopMost(forms::Form& window, std::int16_t on);
// Paints the percentage bar: "N%" centred in box, a not-xor bar of colour 255 over
// percent of its width; then lets waiting events run once.
void DrawProgress(forms::PictureBox& box, std::int16_t percent);
// Draws steps growing rectangles in the window's background colour onto the screen,
// centred on the window. Failures (an overflowing rectangle) are passed over.
void ExplodeForm(forms::Form& window, std::int16_t steps);
// 256 for 8 bits per pixel, 16 for 1 bit and one plane, empty for 1 bit and more planes,
// 65000 otherwise.
std::optional<std::int32_t> GetColourCount();
// The first top-level window (in the platform's order) whose title begins with (mode 0),
// contains (mode 1) or equals (mode 2) title; case-insensitive when caseSensitive is 0;
// null when none. visibleOnly is passed on to the callback, which asks the platform but
// does not act on the answer (a hidden window is found alike).
HWND FindWindowByTitle(std::string_view title, std::int32_t mode, std::int16_t caseSensitive,
                       std::int16_t visibleOnly);
// The enumeration callback of FindWindowByTitle: -1 to go on, 0 once a window was found.
BOOL CALLBACK FindWindowCallback(HWND window, LPARAM visibleOnly);

// ---- Restart and shell refresh (refresh_shell_icons.cpp).

// Makes the shell rebuild its icons: the icon size is switched to another size ("10",
// or "32" when it is "10"), announced, set back to exactly what it was (deleted when it
// was missing), announced again. Every failing step is passed over.
void ReloadShellIcons();
// ReloadShellIcons, then "NUL=<Windows folder>\SHELLI~1" and
// "NUL=C:\~SETUP.T\zepsetup.exe" added to the [RENAME] section of WININIT.INI, each
// once. Every failing step is passed over.
void RefreshShellIcons();

} // namespace Setup_API
