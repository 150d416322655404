#include "forms/qt/fonts.h"

#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace forms::qt {
namespace {

constexpr const char* kWineFonts = "/usr/share/wine/fonts/";
constexpr const char* kWineFiles[] = {"ms_sans_serif.ttf", "tahoma.ttf"};
constexpr const char* kBitmapFamily = "MS Sans Serif";
// The bitmap font's one face: 8 points, 11 pixels to the em at 96 dots per inch.
constexpr int kLargestBitmapPixels = 12;

int PixelSize(float points, const Scale& scale) {
    float dpi = 1440.0f / scale.y;
    return std::max(1, static_cast<int>(std::lround(points * dpi / 72.0f)));
}

bool BitmapFontLoaded() {
    static const bool loaded = QFontDatabase::families().contains(kBitmapFamily);
    return loaded;
}

// The bitmap face is crisp only at its own size in device pixels: on a denser screen
// (device pixel ratio 2: twice the pixels) its outline counterpart draws the text.
QString FamilyFor(const std::string& name, int pixels, qreal deviceRatio) {
    QString family = QString::fromStdString(name);
    if (family.compare("Arial", Qt::CaseInsensitive) == 0)
        return "Liberation Sans";
    if (family.compare(kBitmapFamily, Qt::CaseInsensitive) != 0)
        return family;
    if (pixels * deviceRatio <= kLargestBitmapPixels && BitmapFontLoaded())
        return kBitmapFamily;
    return "Tahoma";
}

} // namespace

void LoadFonts() {
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    for (const char* file : kWineFiles)
        QFontDatabase::addApplicationFont(QString(kWineFonts) + file);
}

QFont QtFont(const forms::Font& font, const Scale& scale) {
    int pixels = PixelSize(font.size, scale);
    QFont q(FamilyFor(font.name, pixels, scale.deviceRatio));
    q.setPixelSize(pixels);
    q.setBold(font.bold);
    q.setItalic(font.italic);
    q.setUnderline(font.underline);
    q.setKerning(false);
    if (Overstruck(q))
        q.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    return q;
}

QFont DialogFont(const Scale& scale) {
    forms::Font font;
    font.size = 8.25f;
    return QtFont(font, scale);
}

bool Overstruck(const QFont& font) {
    return font.bold() && font.family() == kBitmapFamily;
}

void DrawCaption(QPainter& painter, const QRect& area, int flags, const QString& text,
                 QColor colour, bool enabled) {
    bool twice = Overstruck(painter.font());
    auto draw = [&](QRect where, QColor c) {
        painter.setPen(c);
        painter.drawText(where, flags, text);
        if (twice)
            painter.drawText(where.translated(1, 0), flags, text);
    };
    if (enabled) {
        draw(area, colour);
        return;
    }
    draw(area.translated(1, 1), QColor(255, 255, 255));
    draw(area, QColor(128, 128, 128));
}

} // namespace forms::qt
