// Input events as the user's mouse and keyboard produce them, sent to widgets: how the
// steps of a UI script reach the windows on a display, through the same widget code as a
// real click or keystroke.
#pragma once

#include <QPoint>
#include <QString>

class QWidget;

namespace forms::qt {

// A left click in the middle of widget (press and release).
void ClickWidget(QWidget& widget);
// A left button released over widget, without the press.
void ReleaseOn(QWidget& widget);
// The mouse moved over widget, no button down.
void MoveOver(QWidget& widget);
// A double click at point of widget.
void DoubleClickAt(QWidget& widget, QPoint point);
// A key pressed and released, with the text it types.
void PressKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers, const QString& text = {});
// The whole text of a line edit replaced by typing: select all, then text typed as one
// input (empty: the selection deleted).
void TypeText(QWidget& edit, const QString& text);
// The window's close box.
void CloseWindow(QWidget& window);

} // namespace forms::qt
