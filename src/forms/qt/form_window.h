// A window of the program: a top-level widget with the form's caption, client size,
// position on the program's screen, background colour and border style (none: no frame;
// a borderless window as large as the screen fills the screen). On a real display a
// framed window keeps the centre the program gave it, whatever frame the window system
// draws (none, without a window manager). Its close box queues the close for the model,
// which decides. Enter clicks the default button (or the focused button), Escape the
// cancel button.
#pragma once

#include "forms/qt/view.h"

#include <QMargins>
#include <QPixmap>
#include <QWidget>

#include <vector>

namespace forms::qt {

// How far a window's frame moves from the designed top left corner so that a frame of
// these margins around client has the centre of the designed window (its outer size).
QPoint FrameShift(QSize designed, QSize client, const QMargins& frame);

class FormWindow : public QWidget, public View {
public:
    FormWindow(Form& form, InputQueue& input, const Scale& scale);
    QWidget& widget() override { return *this; }
    void Mirror(Property what) override;
    Form& form() const { return static_cast<Form&>(control_); }

    // Shows the window (modal: nothing shown before it takes input meanwhile). Rectangles
    // drawn onto the screen while the window loaded (client coordinates, filled with fill
    // and outlined in black) are played first, growing over what lay beneath the window,
    // before its own contents show.
    void ShowWindow(bool modal, const std::vector<QRect>& explosion = {}, QColor fill = {});
    void HideWindow();
    // True for a borderless window covering the whole machine screen.
    bool FillsScreen() const;
    void SetTopmost(bool topmost);
    bool Topmost() const { return topmost_; }
    // How many rectangles the last opening played.
    size_t ExplosionPlayed() const { return explosionPlayed_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { MousePressed(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { MouseReleased(event); }
    void moveEvent(QMoveEvent* event) override;

private:
    void MirrorFrame();
    void MirrorPosition();
    bool KeepsCentre() const;
    bool ClickButton(bool cancel);
    void PlayExplosion();

    std::vector<QRect> explosion_;
    size_t explosionStep_ = 0;
    size_t explosionPlayed_ = 0;
    QColor explosionFill_;
    QPixmap backdrop_;
    bool topmost_ = false;
    QMargins placedWith_; // the frame the window was last placed for
};

} // namespace forms::qt
