#include "forms/qt/text_box_view.h"

#include "forms/controls.h"

namespace forms::qt {

TextBoxView::TextBoxView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent)
    : QLineEdit(parent), View(control, input, scale) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        edits_.push_back(text.toStdString());
        Push(UserAction::Kind::Set, edits_.back());
    });
}

void TextBoxView::Mirror(Property what) {
    MirrorCommon(what);
    if (what == Property::Border)
        setFrame(control_.BorderStyle() != vbBSNone);
    if (what != Property::Text)
        return;
    const std::string& model = static_cast<TextBox&>(control_).Text();
    while (!edits_.empty() && edits_.front() != model)
        edits_.pop_front();
    if (!edits_.empty()) {
        edits_.pop_front(); // the user's own edit arriving
        return;
    }
    QString text = QString::fromStdString(model);
    if (this->text() != text)
        setText(text); // no textEdited: the change came from the program
}

} // namespace forms::qt
