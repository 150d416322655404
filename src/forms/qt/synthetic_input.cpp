#include "forms/qt/synthetic_input.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace forms::qt {
namespace {

void Mouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons held) {
    QPointF local(at);
    QPointF global(widget.mapToGlobal(at));
    QPointF inWindow(widget.mapTo(widget.window(), at));
    QMouseEvent event(type, local, inWindow, global, button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

QPoint Middle(const QWidget& widget) {
    return widget.rect().center();
}

} // namespace

void ClickWidget(QWidget& widget) {
    QPoint at = Middle(widget);
    Mouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

void ReleaseOn(QWidget& widget) {
    Mouse(widget, QEvent::MouseButtonRelease, Middle(widget), Qt::LeftButton, Qt::NoButton);
}

void MoveOver(QWidget& widget) {
    Mouse(widget, QEvent::MouseMove, Middle(widget), Qt::NoButton, Qt::NoButton);
}

void DoubleClickAt(QWidget& widget, QPoint point) {
    Mouse(widget, QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton);
    Mouse(widget, QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
    Mouse(widget, QEvent::MouseButtonDblClick, point, Qt::LeftButton, Qt::LeftButton);
    Mouse(widget, QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
}

void PressKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(&widget, &release);
}

void TypeText(QWidget& edit, const QString& text) {
    edit.setFocus(Qt::OtherFocusReason);
    PressKey(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        PressKey(edit, Qt::Key_Delete, Qt::NoModifier);
    else
        PressKey(edit, Qt::Key_unknown, Qt::NoModifier, text);
}

void CloseWindow(QWidget& window) {
    QCloseEvent event;
    QCoreApplication::sendEvent(&window, &event);
}

} // namespace forms::qt
