// A control's widget: the model's properties mirrored onto it, the user's input queued
// for the model. Each kind of control has a view class deriving from a Qt widget and View.
#pragma once

#include "forms/control.h"
#include "forms/qt/input_queue.h"
#include "forms/qt/scale.h"

#include <QColor>

class QMouseEvent;
class QWidget;

namespace forms::qt {

QColor Colour(COLORREF colour);

class View {
public:
    View(Control& control, InputQueue& input, const Scale& scale)
        : control_(control), input_(input), scale_(scale) {}
    virtual ~View() = default;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    Control& control() const { return control_; }
    virtual QWidget& widget() = 0;
    // Brings the widget in line with the model after a change of what.
    virtual void Mirror(Property what);
    // Every property, as after loading.
    void MirrorAll();
    // Takes keyboard focus in the window's Tab order.
    virtual bool TabStop() const { return false; }
    // As a click of the mouse released on the control: MouseUp, then Click, for the
    // handlers the control has (the keyboard's and assistive technology's activation).
    void Activate();

protected:
    // Position, visibility, enabled state, font, colours and mouse pointer.
    void MirrorCommon(Property what);
    // The mouse, for controls without a Qt behaviour of their own: a release raises
    // MouseUp, and Click when the press was on the control too; moves raise MouseMove.
    // Events only go to the model when the control has a handler for them.
    void MousePressed(QMouseEvent* event);
    void MouseReleased(QMouseEvent* event);
    void MouseMoved();
    void Push(UserAction::Kind kind, std::string value = {});

    Control& control_;
    InputQueue& input_;
    const Scale& scale_;

private:
    bool pressed_ = false;
};

// Where a container's client area starts inside its widget (a bordered picture box).
QPoint ClientOrigin(const Control& container);

} // namespace forms::qt
