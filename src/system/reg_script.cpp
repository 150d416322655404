// WinRegistry: registry scripts. One script at a time: GetTempDir() + "Zepanu.reg", open
// as stream kScriptStream from BeginRegScript to ImportRegScript, imported by the machine's
// registry editor in a process of its own that is waited for before the script goes.
#include "system/WinRegistry.h"

#include "forms/app_object.h"
#include "forms/on_error.h"
#include "forms/run_time_error.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "system/Setup_API.h"
#include "system/file_streams.h"
#include "system/run_failures.h"

#include <cstring>

namespace WinRegistry {
namespace {

constexpr std::string_view kScriptName = "Zepanu.reg";
constexpr WORD kShowNormal = 1; // SW_SHOWNORMAL

std::string ScriptPath() {
    return Setup_API::GetTempDir() + std::string(kScriptName);
}

// Runs the command line and returns once the process has ended. Run-time error 53 when it
// cannot be started, as for a program that is not there. A process that ended with a status
// other than 0 (the editor refused the script or could not store it) is noted, as is a wait
// that failed.
void RunAndWait(const std::string& commandLine) {
    std::string line = win::ToAnsi(commandLine);
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = kShowNormal;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!win::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process))
        forms::Raise(forms::kFileNotFound);
    DWORD waited = win::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    bool known = waited == WAIT_OBJECT_0 && win::GetExitCodeProcess(process.hProcess, &status);
    win::CloseHandle(process.hThread);
    win::CloseHandle(process.hProcess);
    if (!known)
        RunFailures::Note("'" + commandLine + "': its end could not be awaited (error " +
                          std::to_string(win::GetLastError()) + ")");
    else if (status != 0)
        RunFailures::Note("'" + commandLine + "' did not import the script (exit status " +
                          std::to_string(status) + ")");
}

// Deletes the script from within the temporary folder, then makes the folder the program
// was started from the current folder again, also when the deletion failed.
void DeleteScript() {
    std::string temp = win::ToAnsi(Setup_API::GetTempDir());
    int error = 0;
    if (!win::SetCurrentDirectoryA(temp.c_str()))
        error = forms::kPathNotFound;
    else if (!win::DeleteFileA(std::string(kScriptName).c_str()))
        error = win::GetLastError() == ERROR_ACCESS_DENIED ? forms::kPathFileAccessError
                                                           : forms::kFileNotFound;
    std::string start = win::ToAnsi(forms::App::Path());
    if (!win::SetCurrentDirectoryA(start.c_str()) && !error)
        error = forms::kPathNotFound;
    if (error)
        forms::Raise(error);
}

} // namespace

void BeginRegScript() {
    FileStreams::OpenForOutput(kScriptStream, ScriptPath());
    FileStreams::PrintLine(kScriptStream, "REGEDIT4");
    FileStreams::PrintLine(kScriptStream, "");
}

void ImportRegScript() {
    // The stream is closed even when the last line cannot be written, so that the next
    // script can be begun.
    try {
        FileStreams::PrintLine(kScriptStream, "");
    } catch (...) {
        FileStreams::Close(kScriptStream);
        throw;
    }
    FileStreams::Close(kScriptStream);
    RunAndWait("regedit /s " + ScriptPath());
    DeleteScript();
}

void PrintRegScriptLines(forms::OnError& run, std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines)
        run([&] { FileStreams::PrintLine(kScriptStream, line); });
}

void RunRegScript(forms::OnError& run, std::initializer_list<std::string_view> lines) {
    run([] { BeginRegScript(); });
    PrintRegScriptLines(run, lines);
    run([] { ImportRegScript(); });
}

} // namespace WinRegistry
