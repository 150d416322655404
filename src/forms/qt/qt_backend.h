// The qt backend: every window of the program as a real window on a display (or Qt's
// offscreen platform). Each form and control of the model becomes a widget at its designed
// place and is kept in step with the model; the user's clicks, typing, choices and close
// boxes are queued by the widgets and reach the model where the program processes events
// (DoEvents, or where it waits), never inside Qt's own dispatch. Timers run on the
// machine's clock; while the program waits, Qt's event loop sleeps until input or the next
// tick is due.
//
// Optionally, as the headless interface does, it follows a UI script (the steps arrive as
// mouse and key events in the windows, by the rules of ui_script_player.h), writes the
// transcript, and records the user's actions as a UI script for a later headless run.
#pragma once

#include "forms/backend.h"
#include "forms/qt/input_queue.h"
#include "forms/qt/qt_options.h"
#include "forms/qt/scale.h"
#include "forms/script/program_windows.h"
#include "forms/script/transcript.h"
#include "forms/script/ui_script_player.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace forms::qt {

class FormWindow;
class Recorder;
class View;

class QtBackend : public Backend {
public:
    using Options = QtOptions;

    // Creates the Qt application when there is none yet.
    explicit QtBackend(Options options);
    ~QtBackend() override;

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

    script::Transcript& transcript() { return *transcript_; }
    // The widget mirroring a control or a window of a loaded form; null when none.
    QWidget* WidgetOf(const Control& control) const;
    // Lets Qt paint and handle what is pending, without delivering input to the model.
    static void ProcessEvents();

private:
    script::UiScriptPlayer::Delivery PerformStep(const script::Step& step, Control& control);
    script::UiScriptPlayer::Delivery SetByInput(const script::Step& step, Control& control,
                                                QWidget& widget);
    script::UiScriptPlayer::Delivery OpenFolder(Control& control, QWidget& widget,
                                                const std::string& path);
    bool DeliverActions();
    void Deliver(const UserAction& action);
    bool WaitForEvents(std::optional<DWORD> milliseconds);
    void CreateViews(Form& form);
    void DestroyViews(Form& form);
    void NameForAccessibility(const Form& form);
    void Explode(FormWindow& window);
    void SyncTopmost();
    QWidget* Owner() const;
    bool AnyWindowShown() const;

    Scale scale_;
    std::shared_ptr<script::Transcript> transcript_;
    std::unique_ptr<script::UiScriptPlayer> player_;
    std::unique_ptr<Recorder> recorder_;
    script::ProgramWindows windows_;
    InputQueue input_;
    std::map<const Control*, View*> views_;
    std::map<const Form*, FormWindow*> forms_;
    std::size_t rectanglesSeen_ = 0;
    bool showsOnDisplay_ = false; // the machine answers from the display's screen
};

} // namespace forms::qt
