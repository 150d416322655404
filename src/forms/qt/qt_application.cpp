#include "forms/qt/qt_application.h"

#include "forms/qt/fonts.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include <cstdio>
#include <cstdlib>

namespace forms::qt {
namespace {

// What Qt last warned about: why its platform could not start, when it cannot.
QString& LastWarning() {
    static QString warning;
    return warning;
}

// Qt ends the process when its platform cannot start; say why (the warning before the end
// names the display), with the program's exit status for an interface that failed. Other
// warnings (a platform without raise(), ...) are no business of the user's.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (type == QtWarningMsg) {
        LastWarning() = message;
        return;
    }
    if (type != QtFatalMsg) {
        std::fprintf(stderr, "zepsetup: Qt: %s\n", message.toLocal8Bit().constData());
        return;
    }
    QString why = LastWarning().isEmpty() ? message : LastWarning();
    std::fprintf(stderr,
                 "zepsetup: cannot open windows: %s\n(run without a display with "
                 "ZEPSETUP_UI=headless and a UI script in ZEPSETUP_UI_SCRIPT)\n",
                 why.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

QColor Rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

// The grey three-dimensional colours of the classic desktop.
QPalette ClassicPalette() {
    QPalette p;
    QColor face = Rgb(192, 192, 192);
    p.setColor(QPalette::Window, face);
    p.setColor(QPalette::Button, face);
    p.setColor(QPalette::Light, Rgb(255, 255, 255));
    p.setColor(QPalette::Midlight, Rgb(223, 223, 223));
    p.setColor(QPalette::Mid, Rgb(160, 160, 160));
    p.setColor(QPalette::Dark, Rgb(128, 128, 128));
    p.setColor(QPalette::Shadow, Rgb(0, 0, 0));
    p.setColor(QPalette::Base, Rgb(255, 255, 255));
    p.setColor(QPalette::AlternateBase, Rgb(255, 255, 255));
    p.setColor(QPalette::Text, Rgb(0, 0, 0));
    p.setColor(QPalette::WindowText, Rgb(0, 0, 0));
    p.setColor(QPalette::ButtonText, Rgb(0, 0, 0));
    p.setColor(QPalette::Highlight, Rgb(0, 0, 128));
    p.setColor(QPalette::HighlightedText, Rgb(255, 255, 255));
    p.setColor(QPalette::ToolTipBase, Rgb(255, 255, 225));
    p.setColor(QPalette::ToolTipText, Rgb(0, 0, 0));
    for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, Rgb(128, 128, 128));
    return p;
}

} // namespace

void EnsureApplication() {
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "zepsetup";
        static char* argv[] = {name, nullptr};
        qInstallMessageHandler(OnQtMessage);
        new QApplication(argc, argv); // lives as long as the process
    }
    // An application made by someone else (a test) gets the same look.
    static bool ready = false;
    if (ready)
        return;
    ready = true;
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* style = QStyleFactory::create("Windows"))
        QApplication::setStyle(style);
    QApplication::setPalette(ClassicPalette());
    LoadFonts();
    QApplication::setFont(DialogFont(Scale{}));
}

} // namespace forms::qt
