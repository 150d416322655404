// The headless backend: no display. User input comes from a UI script
// (script/ui_script.h), followed by the rules of script/ui_script_player.h, and reaches
// the model through its input functions; what the user would see goes to a transcript
// (script/transcript.h). The program's windows are registered with the platform as top-level
// windows, so that a search by title finds them.
#pragma once

#include "forms/backend.h"
#include "forms/script/program_windows.h"
#include "forms/script/transcript.h"
#include "forms/script/ui_script_player.h"

#include <memory>

namespace forms::headless {

class HeadlessBackend : public Backend {
public:
    static constexpr DWORD kWaitBound = script::UiScriptPlayer::kWaitBound;

    HeadlessBackend(script::UiScript script, std::shared_ptr<script::Transcript> transcript);
    ~HeadlessBackend() override;

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
    // Writes "end"; fails when script steps were never run.
    void ProgramEnded() override;

    script::Transcript& transcript() { return *transcript_; }
    // What the program shows, as failure messages put it.
    std::string Shows() const { return script::UiScriptPlayer::Shows(); }

private:
    std::shared_ptr<script::Transcript> transcript_;
    script::UiScriptPlayer player_;
    script::ProgramWindows windows_;
};

} // namespace forms::headless
