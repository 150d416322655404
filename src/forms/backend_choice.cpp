#include "forms/backend_choice.h"

#include "forms/program_end.h"
#ifdef _WIN32
#include "forms/win32/win32_backend.h"
#else
#include "forms/headless/headless_backend.h"
#include "forms/qt/qt_module.h"
#endif

#include <cstdlib>

namespace forms {
namespace {
#ifndef _WIN32

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool HasDisplay() {
    return !Environment("DISPLAY").empty() || !Environment("WAYLAND_DISPLAY").empty();
}

std::unique_ptr<Backend> Headless() {
    std::string path = Environment("ZEPSETUP_UI_SCRIPT");
    if (path.empty())
        throw BackendFailure("a headless run follows a UI script: set ZEPSETUP_UI_SCRIPT=FILE "
                             "(one step per line: click FORM.CONTROL, set FORM.CONTROL VALUE, "
                             "answer ok|yes|no, ...; see docs/architecture.md)");
    script::UiScript script = script::ReadUiScript(path);
    std::shared_ptr<script::Transcript> transcript =
        script::Transcript::Open(Environment("ZEPSETUP_TRANSCRIPT"));
    return std::make_unique<headless::HeadlessBackend>(std::move(script), std::move(transcript));
}

std::unique_ptr<Backend> Windows() {
    // A Qt platform chosen by name (offscreen, vnc, ...) needs no display of the desktop.
    if (!HasDisplay() && Environment("QT_QPA_PLATFORM").empty())
        throw BackendFailure("ZEPSETUP_UI=qt: there is no display to open windows on (neither "
                             "DISPLAY nor WAYLAND_DISPLAY is set); run with "
                             "ZEPSETUP_UI=headless and a UI script in ZEPSETUP_UI_SCRIPT");
    qt::QtOptions options;
    if (std::string path = Environment("ZEPSETUP_UI_SCRIPT"); !path.empty())
        options.script = script::ReadUiScript(path);
    if (std::string path = Environment("ZEPSETUP_TRANSCRIPT"); !path.empty())
        options.transcript = script::Transcript::Open(path);
    options.recordTo = Environment("ZEPSETUP_RECORD");
    return qt::LoadQtBackend(std::move(options));
}

#endif

} // namespace

std::unique_ptr<Backend> ChooseBackend() {
#ifdef _WIN32
    // The Windows build shows native windows (forms/win32).
    return win32::ChooseWin32Backend();
#else
    std::string ui = Environment("ZEPSETUP_UI");
    if (ui.empty())
        ui = HasDisplay() ? "qt" : "headless";
    if (ui == "headless")
        return Headless();
    if (ui == "qt")
        return Windows();
    throw BackendFailure("ZEPSETUP_UI=" + ui + " is no user interface (qt or headless)");
#endif
}

} // namespace forms
