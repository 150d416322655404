// The simple controls: their own properties beyond those every control has. The picture
// box, timer, drive list and folder list have files of their own.
#pragma once

#include "forms/control.h"

namespace forms {

class Label : public Control {
public:
    Label(Form& form, std::string name, int index = -1)
        : Control(form, std::move(name), ControlKind::Label, index) {
        SetBackStyle(vbOpaque);
    }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on) { autoSize_ = on; }

private:
    bool autoSize_ = false;
};

class CommandButton : public Control {
public:
    CommandButton(Form& form, std::string name, int index = -1)
        : Control(form, std::move(name), ControlKind::CommandButton, index) {}
    // The default button is clicked by Enter, the cancel button by Escape, wherever the
    // focus is in the window (a focused button takes Enter itself).
    bool Default() const { return default_; }
    void SetDefault(bool on) { default_ = on; }
    bool Cancel() const { return cancel_; }
    void SetCancel(bool on) { cancel_ = on; }

private:
    bool default_ = false;
    bool cancel_ = false;
};

inline constexpr int vbUnchecked = 0;
inline constexpr int vbChecked = 1;
inline constexpr int vbGrayed = 2;

class CheckBox : public Control {
public:
    CheckBox(Form& form, std::string name, int index = -1)
        : Control(form, std::move(name), ControlKind::CheckBox, index) {}
    int Value() const { return value_; }
    // 0, 1 or 2; anything else is run-time error 380. A change raises Click, as a click
    // of the user does.
    void SetValue(int value);

private:
    int value_ = vbUnchecked;
};

class TextBox : public Control {
public:
    TextBox(Form& form, std::string name, int index = -1)
        : Control(form, std::move(name), ControlKind::TextBox, index) {
        SetBackColor(0xFFFFFF);
        SetBorderStyle(vbFixedSingle);
    }
    const std::string& Text() const { return text_; }
    // A change raises Change.
    void SetText(std::string text);

private:
    std::string text_;
};

class Frame : public Control {
public:
    Frame(Form& form, std::string name, int index = -1)
        : Control(form, std::move(name), ControlKind::Frame, index) {
        SetBorderStyle(vbFixedSingle);
    }
};

class Image : public Control {
public:
    Image(Form& form, std::string name, int index = -1)
        : Control(form, std::move(name), ControlKind::Image, index) {}
    // The picture shown, by name (the backend decides how to draw it).
    const std::string& Picture() const { return picture_; }
    void SetPicture(std::string picture) { picture_ = std::move(picture); }

private:
    std::string picture_;
};

class Line : public Control {
public:
    Line(Form& form, std::string name, int index = -1)
        : Control(form, std::move(name), ControlKind::Line, index) {}
    float X1() const { return x1_; }
    float Y1() const { return y1_; }
    float X2() const { return x2_; }
    float Y2() const { return y2_; }
    void SetEnds(float x1, float y1, float x2, float y2);
    COLORREF BorderColor() const { return borderColor_; }
    void SetBorderColor(COLORREF colour);

private:
    float x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
    COLORREF borderColor_ = 0x000000;
};

} // namespace forms
