// Fonts for the designed ones. "MS Sans Serif" at 8 points (and below) is the classic
// bitmap font from Debian's fonts-wine (ms_sans_serif.ttf); it has no bold face, so bold
// is made as the classic system made it, by drawing the text twice a pixel apart with a
// pixel more between letters (DrawCaption). Larger sizes, and every size on a screen of
// more device pixels per pixel (where the bitmap would be scaled and blurred), are drawn
// in Tahoma, the scalable font closest to it, emboldened by Qt where bold. "Arial" is drawn in
// Liberation Sans, which has Arial's metrics. Sizes are points at the machine's dots per inch, so
// that text keeps its designed pixel size whatever the host screen's.
//
// (fonts-wine's sserife.fon is not used: Qt draws Windows FNT files with a fixed-pitch
// substitute; nor tahomabd.ttf: its embedded bitmaps are of regular weight.)
#pragma once

#include "forms/control.h"
#include "forms/qt/scale.h"

#include <QColor>
#include <QFont>

class QPainter;
class QPalette;
class QRect;
class QString;

namespace forms::qt {

// Registers the fonts of fonts-wine with Qt (once; missing files are passed over).
void LoadFonts();
QFont QtFont(const forms::Font& font, const Scale& scale);
// The font of dialogs and message boxes: MS Sans Serif 8 pt.
QFont DialogFont(const Scale& scale);
// True for a bold font without a bold face, drawn twice.
bool Overstruck(const QFont& font);

// Draws text in the painter's font and colour (overstruck where bold needs it); disabled
// text is etched, grey over white, as the classic controls show it.
void DrawCaption(QPainter& painter, const QRect& area, int flags, const QString& text,
                 QColor colour, bool enabled = true);

} // namespace forms::qt
