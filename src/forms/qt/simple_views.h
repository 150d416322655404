// Frames (an etched rectangle with the caption in its top edge), lines and images (the
// program's pointer pictures, by name). None takes the focus; frames and images pass the
// mouse to the model as labels do.
#pragma once

#include "forms/qt/view.h"

#include <QWidget>

namespace forms::qt {

class FrameView : public QWidget, public View {
public:
    FrameView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { MousePressed(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { MouseReleased(event); }
};

class LineView : public QWidget, public View {
public:
    LineView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }
    void Mirror(Property what) override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class ImageView : public QWidget, public View {
public:
    ImageView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { MousePressed(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { MouseReleased(event); }
};

} // namespace forms::qt
