// Controls as plain model objects: the properties the program's windows use, and the
// events a user or the runtime raises on them. A change of a property of a loaded window
// is passed to the backend, which mirrors it. Positions and sizes are twips, relative to
// the control's container (the window, a frame or a picture box).
#pragma once

#include "platform/win_types.h"

#include <functional>
#include <string>
#include <string_view>

namespace forms {

class Form;

enum class ControlKind {
    Form,
    Label,
    CommandButton,
    CheckBox,
    TextBox,
    Frame,
    PictureBox,
    Timer,
    Image,
    Line,
    DriveListBox,
    DirListBox,
};

// What changed, as passed to the backend.
enum class Property {
    Caption,
    Text,
    Value,
    Enabled,
    Visible,
    Position,
    Font,
    Colours,
    Border,
    MousePointer,
    Drive,
    Path,
    Interval,
};

struct Font {
    std::string name = "MS Sans Serif";
    float size = 8.25f; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// Mouse pointers and other property values with their classic numbers.
inline constexpr int vbDefault = 0;
inline constexpr int vbCustom = 99;
inline constexpr int vbTransparent = 0;
inline constexpr int vbOpaque = 1;
inline constexpr int vbBSNone = 0;
inline constexpr int vbFixedSingle = 1;
inline constexpr int vbLeftButton = 1;

class Control {
public:
    // Registers the control with form (a form passes itself and is not registered).
    Control(Form& form, std::string name, ControlKind kind, int index = -1);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& Name() const { return name_; }
    int Index() const { return index_; } // -1 outside a control array
    ControlKind Kind() const { return kind_; }
    Form& Parent() const { return form_; }
    // "Form.Name" or "Form.Name(3)"; a form's own path is its name.
    std::string PathName() const;
    // The frame or picture box the control lies in; null for the window itself.
    Control* Container() const { return container_; }
    void SetContainer(Control& container) { container_ = &container; }

    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    void SetLeft(float left);
    void SetTop(float top);
    void SetWidth(float width);
    void SetHeight(float height);
    void Move(float left, float top);
    void Move(float left, float top, float width, float height);

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

    const forms::Font& Font() const { return font_; }
    void SetFont(forms::Font font);
    COLORREF ForeColor() const { return foreColor_; }
    void SetForeColor(COLORREF colour);
    COLORREF BackColor() const { return backColor_; }
    void SetBackColor(COLORREF colour);
    int BackStyle() const { return backStyle_; }
    void SetBackStyle(int style);
    int BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(int style);
    int MousePointer() const { return mousePointer_; }
    void SetMousePointer(int pointer);
    // The picture of a custom mouse pointer, by the name of the image holding it.
    const std::string& MouseIcon() const { return mouseIcon_; }
    void SetMouseIcon(std::string picture);

    // Events. The runtime calls them with errors handled by its rules.
    std::function<void()> OnClick;
    std::function<void()> OnChange;
    std::function<void(int button, int shift, float x, float y)> OnMouseDown;
    std::function<void(int button, int shift, float x, float y)> OnMouseUp;
    std::function<void(int button, int shift, float x, float y)> OnMouseMove;

protected:
    // Tells the backend when the control's window is loaded.
    void Changed(Property what);

private:
    Form& form_;
    std::string name_;
    ControlKind kind_;
    int index_;
    Control* container_ = nullptr;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::string caption_;
    forms::Font font_;
    COLORREF foreColor_ = 0x000000;
    COLORREF backColor_ = 0xC0C0C0;
    int backStyle_ = vbOpaque;
    int borderStyle_ = vbBSNone;
    int mousePointer_ = vbDefault;
    std::string mouseIcon_;
};

} // namespace forms
