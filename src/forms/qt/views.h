// The view for each kind of control.
#pragma once

#include "forms/qt/view.h"

class QWidget;

namespace forms::qt {

// A new view of control, a child of parent; null for controls nobody sees (timers).
View* MakeView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);

} // namespace forms::qt
