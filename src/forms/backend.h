// What a user interface implements. The runtime tells the backend about every change of
// the model so that it can mirror it, asks it for message-box answers and for the next
// user input, and the backend feeds input back through input.h. Backends: headless/
// (UI scripts and test code); windows on a display are not built yet.
#pragma once

#include "forms/control.h"

#include <string_view>

namespace forms {

class Form;
class PictureBox;
struct Drawing;

class Backend {
public:
    virtual ~Backend() = default;

    // A window was loaded (the backend gives it a platform window), shown, hidden or
    // unloaded.
    virtual void FormLoaded(Form& form) { (void)form; }
    virtual void FormShown(Form& form, bool modal) {
        (void)form;
        (void)modal;
    }
    virtual void FormHidden(Form& form) { (void)form; }
    virtual void FormUnloaded(Form& form) { (void)form; }
    // The window went away because the program ended: no handler ran, nothing to report.
    virtual void FormDropped(Form& form) { (void)form; }
    // A property of a control (or of a window) of a loaded window changed.
    virtual void ControlChanged(Control& control, Property what) {
        (void)control;
        (void)what;
    }
    virtual void Drawn(PictureBox& box, const Drawing& drawing) {
        (void)box;
        (void)drawing;
    }
    // The device context a picture box draws through, in the box's current font.
    virtual HDC DeviceContextFor(PictureBox& box) = 0;

    // A modal message box: 1 (OK), 6 (Yes) or 7 (No).
    virtual int MessageBox(std::string_view text, int style, std::string_view title) = 0;
    // DoEvents: delivers user input already waiting; true when something was delivered.
    virtual bool DeliverWaitingInput() { return false; }
    // The program has nothing to do but wait: deliver the next user input (or let timers
    // run until input can be delivered). Throws BackendFailure when none will come.
    virtual void WaitForInput() = 0;
    // The program has ended (End, or its last window was unloaded).
    virtual void ProgramEnded() {}
};

} // namespace forms
