// The Windows backend: the program's windows as native windows and controls
// (native_controls.h), message loops over the thread's queue, timers woken by SetTimer,
// DoEvents as one pass of the messages waiting, MessageBoxA with the application title.
//
// With a UI script (ZEPSETUP_UI_SCRIPT) the same steps as on the headless interface are
// delivered as window messages to the real controls (BM_CLICK, WM_SETTEXT, CBN_SELCHANGE,
// WM_LBUTTONUP, WM_MOUSEMOVE, WM_CLOSE; a message box is answered by a WM_COMMAND to it),
// under the same waiting rules, and the same transcript is written. ZEPSETUP_SCREENSHOTS
// names a folder into which each window is saved as drawn (BMP) when its form is shown,
// before each step on it and at each message box.
#pragma once

#include "forms/backend.h"
#include "forms/script/transcript.h"
#include "forms/script/ui_script_player.h"
#include "forms/win32/native_controls.h"

#include <deque>
#include <memory>
#include <optional>

namespace forms::win32 {

class Win32Backend : public Backend {
public:
    // Without a script the user drives the windows; without a transcript the lines are
    // kept in memory only.
    Win32Backend(std::optional<script::UiScript> script,
                 std::shared_ptr<script::Transcript> transcript, std::string screenshots);
    ~Win32Backend() override;

    void FormLoaded(Form& form) override;
    void FormShown(Form& form, bool modal) override;
    void FormHidden(Form& form) override;
    void FormUnloaded(Form& form) override;
    void FormDropped(Form& form) override;
    void ControlChanged(Control& control, Property what) override;
    void Drawn(PictureBox& box, const Drawing& drawing) override;
    HDC DeviceContextFor(PictureBox& box) override;
    int MessageBox(std::string_view text, int style, std::string_view title) override;
    bool DeliverWaitingInput() override;
    void WaitForInput() override;
    void ProgramEnded() override;

    // Saves window as drawn, frame included (the screen for null), into the screenshot
    // folder when one is set, once it has painted what it had to; what lies off the screen
    // is magenta. False when the picture could not be taken or written.
    bool Screenshot(const std::string& name, HWND window);
    // The same, throwing BackendFailure when it fails.
    void ScreenshotOrFail(const std::string& name, HWND window);

private:
    struct Pending {
        Input input;
        const script::Step* step = nullptr; // the script step it came from
    };

    void OnInput(Input input);
    bool RunPending();
    void PumpWaiting();
    void WaitForMessage(DWORD milliseconds);

    // ---- UI scripts (script_driver.cpp): the shared player decides when a step runs; a
    // step arrives here as the window message a user's action would send.
    script::UiScriptPlayer::Delivery Deliver(const script::Step& step, Control& control);
    bool RunNextTimer();
    int ScriptedMessageBox(std::string_view text, int style, const std::string& ansiText,
                           const std::string& ansiTitle, HWND owner);

    NativeWindows windows_;
    std::deque<Pending> pending_;
    std::unique_ptr<script::UiScriptPlayer> player_;
    std::shared_ptr<script::Transcript> transcript_;
    std::string screenshots_;
    int shots_ = 0;
    const script::Step* delivering_ = nullptr;
};

// The backend for this run from the environment: ZEPSETUP_UI (unset or "win32"),
// ZEPSETUP_UI_SCRIPT, ZEPSETUP_TRANSCRIPT, ZEPSETUP_SCREENSHOTS. Throws BackendFailure.
std::unique_ptr<Backend> ChooseWin32Backend();

} // namespace forms::win32
