// Command buttons and check boxes. Both wrap their captions across lines as the classic
// controls do, and show an access key ("&Weiter >": Alt+W). A click, Space, or the access
// key queues Click; the check box does not tick itself: the model's value, changed by its
// Click, is what it shows.
#pragma once

#include "forms/qt/view.h"

#include <QAbstractButton>
#include <QPushButton>

namespace forms::qt {

class CommandButtonView : public QPushButton, public View {
public:
    CommandButtonView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }
    void Mirror(Property what) override;
    bool TabStop() const override { return true; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CheckBoxView : public QAbstractButton, public View {
public:
    CheckBoxView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }
    void Mirror(Property what) override;
    bool TabStop() const override { return true; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace forms::qt
