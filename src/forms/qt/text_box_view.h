// A text box: every edit of the user queues the whole new text, as each keystroke changes
// the classic control's Text and raises Change.
#pragma once

#include "forms/qt/view.h"

#include <QLineEdit>

#include <deque>
#include <string>

namespace forms::qt {

class TextBoxView : public QLineEdit, public View {
public:
    TextBoxView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }
    void Mirror(Property what) override;
    bool TabStop() const override { return true; }

private:
    // The user's edits on their way to the model: when the model's text comes back as
    // one of them, the box already shows newer typing and is left alone.
    std::deque<std::string> edits_;
};

} // namespace forms::qt
