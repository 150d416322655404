// A window of the program. Each window type derives from Form, builds its controls with
// their designed values in its constructor and overrides the handlers it has. Windows
// are reached through a Global (global_form.h): any use of one that is not loaded loads
// it and runs Form_Load; unloading destroys it with the contents of its controls.
#pragma once

#include "forms/control.h"

#include <vector>

namespace forms {

class FormSlot;

// Why a window closes (the close-request handler's reason).
enum class UnloadMode {
    FormControlMenu = 0, // the user: close box, system menu, Alt+F4
    FormCode = 1,        // the program's Unload
    AppWindows = 2,      // Windows shutting down or logging off
    AppTaskManager = 3,  // the task manager
};

inline constexpr int vbModeless = 0;
inline constexpr int vbModal = 1;

class Form : public Control {
public:
    explicit Form(std::string name);
    ~Form() override;

    // ---- Handlers a window type overrides.
    virtual void Form_Load() {}
    // Setting cancel to non-zero refuses the close.
    virtual void Form_QueryUnload(int& cancel, UnloadMode mode) {
        (void)cancel;
        (void)mode;
    }
    virtual void Form_Unload(int& cancel) { (void)cancel; }

    // ---- What the program does with a window.
    // vbModeless returns at once; vbModal waits until the window is hidden or unloaded.
    // Showing a window loads it first. A window already unloaded stays unloaded.
    void Show(int modal = vbModeless);
    void Hide();
    void SetVisible(bool visible) override;

    bool IsLoaded() const { return loaded_; }
    // The platform's window of a loaded form (set by the backend).
    HWND hWnd() const { return hWnd_; }
    void AttachWindow(HWND window) { hWnd_ = window; }

    // Sets Width and Height from a client area, adding the frame and title bar the
    // border style gives (none for vbBSNone).
    void SetClientSize(float width, float height);
    // The client area: Width and Height less that frame and title bar.
    float ScaleWidth() const;
    float ScaleHeight() const;

    const std::vector<Control*>& Controls() const { return controls_; }
    Control* FindControl(std::string_view name, int index = -1) const;

private:
    friend class Control;
    friend class Runtime;
    void AddControl(Control& control) { controls_.push_back(&control); }

    std::vector<Control*> controls_;
    HWND hWnd_ = nullptr;
    bool loaded_ = false;
    bool everLoaded_ = false;
    bool unloading_ = false;
    bool modal_ = false;
    unsigned long showSerial_ = 0;
    FormSlot* slot_ = nullptr;
};

} // namespace forms
