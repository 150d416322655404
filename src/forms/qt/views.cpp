#include "forms/qt/views.h"

#include "forms/qt/button_views.h"
#include "forms/qt/label_view.h"
#include "forms/qt/list_views.h"
#include "forms/qt/picture_view.h"
#include "forms/qt/simple_views.h"
#include "forms/qt/text_box_view.h"

namespace forms::qt {
namespace {

View* Make(Control& c, InputQueue& input, const Scale& scale, QWidget* parent) {
    switch (c.Kind()) {
    case ControlKind::Label:
        return new LabelView(c, input, scale, parent);
    case ControlKind::CommandButton:
        return new CommandButtonView(c, input, scale, parent);
    case ControlKind::CheckBox:
        return new CheckBoxView(c, input, scale, parent);
    case ControlKind::TextBox:
        return new TextBoxView(c, input, scale, parent);
    case ControlKind::Frame:
        return new FrameView(c, input, scale, parent);
    case ControlKind::PictureBox:
        return new PictureView(c, input, scale, parent);
    case ControlKind::Image:
        return new ImageView(c, input, scale, parent);
    case ControlKind::Line:
        return new LineView(c, input, scale, parent);
    case ControlKind::DriveListBox:
        return new DriveListView(c, input, scale, parent);
    case ControlKind::DirListBox:
        return new DirListView(c, input, scale, parent);
    case ControlKind::Timer:
    case ControlKind::Form:
        return nullptr;
    }
    return nullptr;
}

} // namespace

View* MakeView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent) {
    View* view = Make(control, input, scale, parent);
    if (view)
        view->widget().setObjectName(QString::fromStdString(control.PathName()));
    return view;
}

} // namespace forms::qt
