// A label: its caption wrapped at word boundaries inside the designed rectangle (an
// auto-sized label grows to its caption on one line instead), opaque or transparent, with
// the classic etched look when disabled. A border removed the moment it was given still
// shows for a blink, as the welcome screen's link flashes on release. A label the user
// can act on (a Click or MouseUp handler) is a link: Tab reaches it, Enter or Space
// activates it as a click does.
#pragma once

#include "forms/qt/view.h"

#include <QElapsedTimer>
#include <QWidget>

namespace forms::qt {

class LabelView : public QWidget, public View {
public:
    LabelView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }
    void Mirror(Property what) override;
    bool TabStop() const override { return IsLink(); }

    // True while the border shows (given, or still flashing).
    bool BorderShown() const { return bordered_ || flashing_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool IsLink() const { return control_.OnClick || control_.OnMouseUp; }
    void MirrorBorder();
    void FitCaption();

    bool bordered_ = false;
    bool flashing_ = false;
    QElapsedTimer borderSince_;
};

} // namespace forms::qt
