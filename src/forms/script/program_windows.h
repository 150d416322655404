// The program's windows as top-level windows of the platform. Every user interface on the
// portable machine registers each loaded form, with its caption and rectangle, so that a
// search by title, GetWindowRect and WM_CLOSE reach it, and hands picture boxes the device
// contexts they measure text with (the machine's fixed metric, so that every interface
// draws the same percentage bar).
#pragma once

#include "platform/win_types.h"

#include <map>

namespace forms {
class Form;
class PictureBox;
} // namespace forms

namespace forms::script {

class ProgramWindows {
public:
    ProgramWindows() = default;
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Gives form its platform window; WM_CLOSE to it closes the form as its close box does.
    void Loaded(Form& form);
    // The form's caption or rectangle changed.
    void Changed(Form& form);
    void SetVisible(Form& form, bool visible);
    // The form went away: its window and its picture boxes' contexts go too.
    void Forget(Form& form);
    HDC ContextFor(PictureBox& box);

private:
    std::map<PictureBox*, HDC> contexts_;
};

} // namespace forms::script
