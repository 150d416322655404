// Message boxes as the classic ones: the application title, the stop icon for style 16 and
// the information icon for 64, OK or "Ja" and "Nein" (style 4 added), modal. A scripted
// answer is given by clicking its button once the box is shown.
#pragma once

#include <QWidget>

#include <optional>
#include <string_view>

class QMessageBox;

namespace forms::qt {

// Shows the box over owner (may be null) and returns vbOK, vbYes or vbNo. With answer set,
// the box's button for it is clicked as soon as the box shows.
int ShowMessageBox(QWidget* owner, std::string_view text, int style, std::string_view title,
                   std::optional<int> answer);

// The box being shown, or null (for tests).
QMessageBox* ShownMessageBox();

} // namespace forms::qt
