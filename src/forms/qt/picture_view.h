// A picture box: its recorded drawing inside the sunken border the classic box has; the
// controls it holds lie inside that border.
#pragma once

#include "forms/qt/view.h"

#include <QWidget>

namespace forms::qt {

class PictureView : public QWidget, public View {
public:
    PictureView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { MousePressed(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { MouseReleased(event); }
};

} // namespace forms::qt
