#include "forms/qt/form_window.h"

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/input.h"
#include "forms/qt/host_screen.h"
#include "forms/screen.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWindow>

namespace forms::qt {
namespace {

constexpr int kExplosionStepMs = 3;
const QColor kDesktop(0, 128, 128); // the classic desktop, where the screen cannot be read

bool Fixed(int borderStyle) {
    return borderStyle == 1 || borderStyle == 3 || borderStyle == 4;
}

} // namespace

QPoint FrameShift(QSize designed, QSize client, const QMargins& frame) {
    int width = client.width() + frame.left() + frame.right();
    int height = client.height() + frame.top() + frame.bottom();
    return QPoint((designed.width() - width) / 2, (designed.height() - height) / 2);
}

FormWindow::FormWindow(Form& form, InputQueue& input, const Scale& scale)
    : QWidget(nullptr), View(form, input, scale) {
    setObjectName(QString::fromStdString(form.Name()));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
}

void FormWindow::Mirror(Property what) {
    switch (what) {
    case Property::Caption:
        setWindowTitle(QString::fromStdString(control_.Caption()));
        return;
    case Property::Position:
        MirrorPosition();
        return;
    case Property::Border:
        MirrorFrame();
        return;
    case Property::Visible:
        return; // shown and hidden by the runtime's calls
    default:
        MirrorCommon(what);
    }
}

void FormWindow::MirrorFrame() {
    int style = control_.BorderStyle();
    Qt::WindowFlags flags = Qt::Window;
    if (style == vbBSNone)
        flags |= Qt::FramelessWindowHint;
    else if (style == 4 || style == 5)
        flags |= Qt::Tool;
    if (Fixed(style))
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint;
    if (topmost_)
        flags |= Qt::WindowStaysOnTopHint;
    bool shown = isVisible();
    setWindowFlags(flags);
    MirrorPosition();
    if (shown)
        show();
}

void FormWindow::MirrorPosition() {
    QRect client = scale_.ClientRect(form());
    if (Fixed(control_.BorderStyle()))
        setFixedSize(client.size());
    else
        resize(client.size());
    QPoint at = client.topLeft();
    if (KeepsCentre()) {
        placedWith_ = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        at += FrameShift(QSize(scale_.X(form().Width()), scale_.Y(form().Height())), client.size(),
                         placedWith_);
    }
    move(at);
}

bool FormWindow::KeepsCentre() const {
    return form().BorderStyle() != vbBSNone && HasRealScreen();
}

void FormWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window system framed the window its own way: centre that frame anew.
    if (KeepsCentre() && windowHandle() && windowHandle()->frameMargins() != placedWith_)
        MirrorPosition();
}

bool FormWindow::FillsScreen() const {
    const Form& f = form();
    return f.BorderStyle() == vbBSNone && f.Left() <= 0 && f.Top() <= 0 &&
           f.Left() + f.Width() >= Screen::Width() && f.Top() + f.Height() >= Screen::Height();
}

void FormWindow::ShowWindow(bool modal, const std::vector<QRect>& explosion, QColor fill) {
    if (scale_.screen)
        setScreen(scale_.screen);
    if (!explosion.empty() && scale_.screen) {
        QPoint at = FillsScreen() ? QPoint() : pos() - scale_.origin;
        backdrop_ = scale_.screen->grabWindow(0, at.x(), at.y(), width(), height());
    }
    explosion_ = explosion;
    explosionFill_ = fill;
    setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    if (FillsScreen() && HasRealScreen())
        showFullScreen();
    else
        show();
    raise();
    activateWindow();
    PlayExplosion();
}

void FormWindow::HideWindow() {
    hide();
    setWindowModality(Qt::NonModal);
}

void FormWindow::SetTopmost(bool topmost) {
    if (topmost == topmost_)
        return;
    topmost_ = topmost;
    MirrorFrame();
}

void FormWindow::PlayExplosion() {
    if (explosion_.empty())
        return;
    for (explosionStep_ = 1; explosionStep_ <= explosion_.size(); ++explosionStep_) {
        repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(kExplosionStepMs);
    }
    explosionPlayed_ = explosion_.size();
    explosion_.clear();
    explosionStep_ = 0;
    backdrop_ = QPixmap();
    update();
}

void FormWindow::paintEvent(QPaintEvent*) {
    if (explosion_.empty())
        return; // the background is the palette's
    QPainter p(this);
    if (backdrop_.isNull())
        p.fillRect(rect(), kDesktop);
    else
        p.drawPixmap(0, 0, backdrop_);
    p.setPen(Qt::black);
    p.setBrush(explosionFill_);
    for (size_t i = 0; i < explosionStep_ && i < explosion_.size(); ++i)
        p.drawRect(explosion_[i].adjusted(0, 0, -1, -1));
}

void FormWindow::closeEvent(QCloseEvent* event) {
    event->ignore(); // the model decides, and unloads the window if it closes
    input_.Push(UserAction{UserAction::Kind::Close, &control_, {}});
}

// Queues a click of the window's default (or cancel) button when it can take one.
bool FormWindow::ClickButton(bool cancel) {
    for (Control* c : form().Controls()) {
        if (c->Kind() != ControlKind::CommandButton)
            continue;
        auto* button = static_cast<CommandButton*>(c);
        if ((cancel ? button->Cancel() : button->Default()) && WhyNoInput(*button).empty()) {
            input_.Push(UserAction{UserAction::Kind::Click, button, {}});
            return true;
        }
    }
    return false;
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* focused = dynamic_cast<View*>(focusWidget());
            focused && focused->control().Kind() == ControlKind::CommandButton) {
            input_.Push(UserAction{UserAction::Kind::Click, &focused->control(), {}});
            return;
        }
        if (ClickButton(false))
            return;
        break;
    case Qt::Key_Escape:
        if (ClickButton(true))
            return;
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

} // namespace forms::qt
