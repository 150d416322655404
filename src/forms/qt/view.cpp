#include "forms/qt/view.h"

#include "forms/qt/fonts.h"
#include "forms/qt/pointers.h"

#include <QMouseEvent>
#include <QWidget>

namespace forms::qt {
namespace {

constexpr int kPictureBorder = 2; // the sunken three-dimensional border

Qt::CursorShape Shape(int pointer) {
    switch (pointer) {
    case 2:
        return Qt::CrossCursor;
    case 3:
        return Qt::IBeamCursor;
    case 5:
    case 15:
        return Qt::SizeAllCursor;
    case 6:
        return Qt::SizeBDiagCursor;
    case 7:
        return Qt::SizeVerCursor;
    case 8:
        return Qt::SizeFDiagCursor;
    case 9:
        return Qt::SizeHorCursor;
    case 10:
        return Qt::UpArrowCursor;
    case 11:
        return Qt::WaitCursor;
    case 12:
        return Qt::ForbiddenCursor;
    case 13:
        return Qt::BusyCursor;
    case 14:
        return Qt::WhatsThisCursor;
    default:
        return Qt::ArrowCursor;
    }
}

void MirrorPointer(QWidget& widget, const Control& control, qreal deviceRatio) {
    if (control.MousePointer() == vbDefault) {
        widget.unsetCursor();
        return;
    }
    if (control.MousePointer() == vbCustom) {
        if (auto cursor = PointerCursor(control.MouseIcon(), deviceRatio))
            widget.setCursor(*cursor);
        else
            widget.unsetCursor();
        return;
    }
    widget.setCursor(Shape(control.MousePointer()));
}

void MirrorColours(QWidget& widget, const Control& control) {
    QPalette palette = widget.palette();
    QColor back = Colour(control.BackColor());
    QColor fore = Colour(control.ForeColor());
    for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
        palette.setColor(role, back);
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(QPalette::Active, role, fore);
        palette.setColor(QPalette::Inactive, role, fore);
    }
    widget.setPalette(palette);
}

} // namespace

QColor Colour(COLORREF colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QPoint ClientOrigin(const Control& container) {
    bool bordered =
        container.Kind() == ControlKind::PictureBox && container.BorderStyle() != vbBSNone;
    return bordered ? QPoint(kPictureBorder, kPictureBorder) : QPoint(0, 0);
}

void View::Mirror(Property what) {
    MirrorCommon(what);
}

void View::MirrorAll() {
    for (Property what :
         {Property::Position, Property::Font, Property::Colours, Property::Border,
          Property::MousePointer, Property::Caption, Property::Text, Property::Value,
          Property::Drive, Property::Path, Property::Enabled, Property::Visible})
        Mirror(what);
}

void View::MirrorCommon(Property what) {
    QWidget& w = widget();
    switch (what) {
    case Property::Position: {
        QPoint origin = control_.Container() ? ClientOrigin(*control_.Container()) : QPoint();
        w.setGeometry(scale_.Rect(control_).translated(origin));
        return;
    }
    case Property::Visible:
        w.setVisible(control_.Visible());
        return;
    case Property::Enabled:
        w.setEnabled(control_.Enabled());
        return;
    case Property::Font:
        w.setFont(QtFont(control_.Font(), scale_));
        w.update();
        return;
    case Property::Colours:
        MirrorColours(w, control_);
        w.update();
        return;
    case Property::MousePointer:
        MirrorPointer(w, control_, scale_.deviceRatio);
        return;
    default:
        w.update();
        return;
    }
}

void View::Push(UserAction::Kind kind, std::string value) {
    input_.Push(UserAction{kind, &control_, std::move(value)});
}

void View::MousePressed(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void View::MouseReleased(QMouseEvent* event) {
    bool click = pressed_ && widget().rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) {
        Activate();
        return;
    }
    if (control_.OnMouseUp)
        Push(UserAction::Kind::MouseUp);
}

void View::Activate() {
    if (control_.OnMouseUp)
        Push(UserAction::Kind::MouseUp);
    if (control_.OnClick)
        Push(UserAction::Kind::Click);
}

void View::MouseMoved() {
    if (control_.OnMouseMove)
        Push(UserAction::Kind::MouseMove);
}

} // namespace forms::qt
